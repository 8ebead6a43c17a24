// BoxMean1D: the running mean of one line of pixels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kordex {

// dst[k * stride] = the sum of src at positions k-r .. k+r (each position
// clamped into 0..n-1, so edge pixels repeat) divided by 2r+1, truncated
// toward zero; k = 0..n-1. Computed as a running sum. src and dst must not
// overlap; r >= 0, n >= 1.
void BoxMean1D(const std::int16_t* src, std::int16_t* dst, int n, std::ptrdiff_t stride, int r);

}  // namespace kordex
