// Median shift with the molar weighting.
//
// A molar view shows mostly vertical structures (teeth side by side), a
// frontal one long teeth: the ratio of the absolute differences along rows
// (H) to those along columns (V), c = ((H / V) * 20 / 17)^2, picks the
// factor: 0.15 < c < 0.9 takes a fifth of MedianShift, 1.1 < c < 10 takes
// 1.7 times it (at most 75), anything else MedianShift itself. A negative
// MedianShift is a fixed factor |MedianShift| and reports the weight -1. An
// image without any column difference (V = 0) has no measurable weight: it
// counts as 0 (factor MedianShift) instead of dividing by zero.
//
// The shift itself is the remap's median shift, without its log text.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "processing/auxiliary/internal_chain.h"
#include "processing/grey_remap.h"

namespace kordex::auxiliary {

double MolarTeethWeight(const StageContext& ctx)
{
    const int w = ctx.width, h = ctx.height;
    std::int64_t across = 0, down = 0;
    for (int y = 0; y < h; ++y) {
        const std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * w;
        std::int64_t sum = 0;
        for (int x = 0; x + 1 < w; ++x) sum += std::abs(row[x] - row[x + 1]);
        across += sum;
        if (y + 1 < h) {
            const std::int16_t* next = row + w;
            std::int64_t col = 0;
            for (int x = 0; x < w; ++x) col += std::abs(row[x] - next[x]);
            down += col;
        }
    }
    if (down == 0) return 0.0;
    const double ratio = static_cast<double>(across) / static_cast<double>(down) * 20.0 / 17.0;
    return ratio * ratio;
}

StageResult MolarMedianShift(const StageContext& ctx, int medianShift, std::FILE* stats)
{
    if (medianShift == 0) return kStageSkipped;
    double c = -1.0;
    int f;
    if (medianShift < 0) {
        f = medianShift == INT32_MIN ? INT32_MAX : -medianShift;
    } else {
        c = MolarTeethWeight(ctx);
        if (c > 0.15 && c < 0.9)
            f = medianShift / 5;
        else if (c > 1.1 && c < 10)
            f = static_cast<int>(std::min(static_cast<double>(medianShift) * 1.7, 75.0));
        else
            f = medianShift;
    }
    if (stats) std::fprintf(stats, "MolarTeethWeight=%.2f MedianShift=%d (%d)\n", c, f, medianShift);
    if (f <= 0) return kStageSkipped;
    std::string ignored;
    return MedianShift(ctx, f, &ignored) > 0 ? kStageDone : kStageSkipped;
}

}  // namespace kordex::auxiliary
