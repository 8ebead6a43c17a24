// Running box mean along a line with repeated edge pixels.
#include "calibration/box_mean.h"

#include <algorithm>

namespace kordex {

void BoxMean1D(const std::int16_t* src, std::int16_t* dst, int n, std::ptrdiff_t stride, int r)
{
    const std::int64_t width = 2 * static_cast<std::int64_t>(r) + 1;
    auto at = [&](std::int64_t k) -> std::int64_t {
        return src[std::clamp<std::int64_t>(k, 0, n - 1) * stride];
    };
    std::int64_t sum = 0;
    for (std::int64_t k = -r; k <= r; ++k) sum += at(k);
    for (int k = 0; k < n; ++k) {
        dst[k * stride] = static_cast<std::int16_t>(sum / width);
        sum += at(static_cast<std::int64_t>(k) + r + 1) - at(static_cast<std::int64_t>(k) - r);
    }
}

}  // namespace kordex
