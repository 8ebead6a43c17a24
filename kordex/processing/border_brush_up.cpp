// Border brush-up: the pixels closer than R to an edge become the mean of the
// three central values of their sorted window, in place and in a fixed order
// (top band from the interior outward; left and right bands row by row, each
// from the interior outward; bottom band; corners), so later pixels see
// already brushed neighbours. Windows are clamped at the edges. This pass is
// sequential by its nature (each pixel reads the ones brushed before it).
#include <algorithm>
#include <array>

#include "processing/final_contrast.h"

namespace kordex {
namespace {

void Brush(const StageContext& ctx, int x, int y, int g)
{
    std::array<std::int16_t, 49> window;
    int m = 0;
    for (int dy = -g; dy <= g; ++dy) {
        const int yy = std::clamp(y + dy, 0, ctx.height - 1);
        for (int dx = -g; dx <= g; ++dx) {
            const int xx = std::clamp(x + dx, 0, ctx.width - 1);
            window[static_cast<std::size_t>(m++)] = ctx.image[static_cast<std::size_t>(yy) * ctx.width + xx];
        }
    }
    std::sort(window.begin(), window.begin() + m);
    const int c = m / 2;
    const int sum = window[static_cast<std::size_t>(c - 1)] + window[static_cast<std::size_t>(c)] +
                    window[static_cast<std::size_t>(c + 1)];
    ctx.image[static_cast<std::size_t>(y) * ctx.width + x] = static_cast<std::int16_t>(sum / 3);
}

}  // namespace

StageResult BorderBrushUp(const StageContext& ctx, int r)
{
    const int w = ctx.width, h = ctx.height;
    if (r < 1 || 2 * static_cast<std::int64_t>(r) >= w || 2 * static_cast<std::int64_t>(r) >= h) return kStageSkipped;
    const int outer = std::min(r + 1, 3);
    for (int k = 1; k <= r; ++k) {  // top band, row r - k
        const int y = r - k, g = std::min(k, 3);
        for (int x = r; x < w - r; ++x) Brush(ctx, x, y, g);
    }
    for (int y = r; y < h - r; ++y) {
        for (int k = 1; k <= r; ++k) Brush(ctx, r - k, y, std::min(k, 3));
        for (int k = 1; k <= r; ++k) Brush(ctx, w - r - 1 + k, y, std::min(k, 3));
    }
    for (int y = h - r; y < h; ++y)
        for (int x = r; x < w - r; ++x) Brush(ctx, x, y, outer);
    const int xs[2] = {0, w - r}, ys[2] = {0, h - r};
    for (int cy : ys)
        for (int cx : xs)
            for (int y = cy; y < cy + r; ++y)
                for (int x = cx; x < cx + r; ++x) Brush(ctx, x, y, outer);
    return kStageDone;
}

}  // namespace kordex
