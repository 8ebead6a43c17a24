// Neville's scheme: the value at x of the polynomial through n points.
#pragma once

#include <cstdint>

namespace kordex {

// The value returned when two points share an x (the scheme's divisor is 0).
inline constexpr std::int64_t kNevilleSameX = -32767;

// Interpolates through the n points (xs[i], ys[i]) (n 1..32) at x, as the
// classical polynomial-interpolation routine does: it starts from the point
// whose x is nearest to x (the first on a tie) and adds the corrections
// column by column. The two correction tables are 32-bit floats and the
// running sum is extended precision; the sum is rounded by adding 0.49999 and
// truncating toward zero, limited to the int32 range. Two equal xs give
// kNevilleSameX at once.
std::int64_t NevilleInterpolate(const std::int32_t* xs, const std::int32_t* ys, int n, std::int32_t x);

}  // namespace kordex
