// Isolated-pixel removal before the Calpost call: a pixel that fewer than two
// of its eight neighbours lie within 100 of (|q - v| < 100) stands alone and
// becomes the mean of the eight, truncated. Neighbour positions outside the
// image are clamped to the edge, so a border pixel counts its edge
// neighbours (and itself) more than once. The results go to a copy that then
// replaces the image, so every pixel sees the original neighbours.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "processing/auxiliary/calpost_binding.h"

namespace kordex::auxiliary {

void RemoveIsolatedPixels(const StageContext& ctx)
{
    const int w = ctx.width, h = ctx.height;
    std::vector<std::int16_t> out(ctx.Pixels());
    const std::int16_t* src = ctx.image;
    ForRows(ctx, 0, h - 1, [&](int y) {
        const std::int16_t* rows[3] = {src + static_cast<std::ptrdiff_t>(std::max(y - 1, 0)) * w,
                                       src + static_cast<std::ptrdiff_t>(y) * w,
                                       src + static_cast<std::ptrdiff_t>(std::min(y + 1, h - 1)) * w};
        std::int16_t* dst = out.data() + static_cast<std::ptrdiff_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            const int left = std::max(x - 1, 0), right = std::min(x + 1, w - 1);
            const int q[8] = {rows[0][left], rows[0][x], rows[0][right], rows[1][left],
                              rows[1][right], rows[2][left], rows[2][x], rows[2][right]};
            const int v = rows[1][x];
            int near = 0, sum = 0;
            for (int k = 0; k < 8; ++k) {
                near += std::abs(q[k] - v) < 100;
                sum += q[k];
            }
            dst[x] = static_cast<std::int16_t>(near < 2 ? sum / 8 : v);
        }
    });
    std::copy(out.begin(), out.end(), ctx.image);
}

}  // namespace kordex::auxiliary
