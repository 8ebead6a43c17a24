// The remap's anisotropic smoothing and median shift.
//
// Anisotropic smoothing reads a copy taken before the step (allocated before
// the pass) and leaves the one-pixel border as it is. The median shift lifts
// the dark tail of the histogram until the mean reaches a point between mean
// and median; its walk stops at the histogram's end.
#include <cstdlib>
#include <vector>

#include "platform/exact_math.h"
#include "platform/text.h"
#include "processing/grey_remap.h"
#include "processing/histogram.h"

namespace kordex {

StageResult AnisotropicSmoothing(const StageContext& ctx, int strength)
{
    if (strength == 0 || ctx.width < 3 || ctx.height < 3) return kStageSkipped;
    const std::vector<std::int16_t> src(ctx.image, ctx.image + ctx.Pixels());
    const float factor = static_cast<float>(std::abs(static_cast<double>(strength))) * 0.01f;
    const double wV = strength > 0 ? 0.3 : 0.05, wH = strength > 0 ? 0.05 : 0.3;
    const int w = ctx.width;
    ForRows(ctx, 1, ctx.height - 2, [&](int y) {
        const std::int16_t* s = src.data() + static_cast<std::size_t>(y) * w;
        std::int16_t* out = ctx.image + static_cast<std::size_t>(y) * w;
        for (int x = 1; x < w - 1; ++x) {
            const int p = s[x];
            const int v = (s[x - w] + s[x + w]) >> 1;
            const int h = (s[x - 1] + s[x + 1]) >> 1;
            const int d = (s[x - w - 1] + s[x - w + 1] + s[x + w - 1] + s[x + w + 1] + 1) >> 2;
            const double change = wV * (v - p) + wH * (h - p) + 0.15 * (d - p);
            out[x] = platform::Wrap16(p + platform::Near(static_cast<double>(factor) * change));
        }
    });
    return kStageDone;
}

StageResult MedianShift(const StageContext& ctx, int factor, std::string* text)
{
    const std::int64_t f = std::abs(static_cast<std::int64_t>(factor));
    if (f == 0) return kStageSkipped;
    *text = platform::Format("shift: fix %d ", static_cast<int>(f > 2147483647 ? 2147483647 : f));
    Histogram h = BuildHistogram(ctx.image, ctx.Pixels());
    const int range = h.Range();
    if (range < 20) {
        *text += platform::Format("WRN: skip code #1 (data gamut %d is too small )", range);
        return kStageSkipped;
    }
    std::int64_t total = 0, moment = 0;
    for (int i = 0; i <= range; ++i) {
        const std::int64_t product = static_cast<std::int64_t>(i) * h.counts[static_cast<std::size_t>(i)];
        if (product < 0) {
            *text += "ERR: integer overflow";
            return kStageSkipped;
        }
        total += h.counts[static_cast<std::size_t>(i)];
        moment += product;
    }
    const std::int64_t mean = platform::Near64(static_cast<double>(moment) / static_cast<double>(total));
    std::int64_t m = 0, sum = 0;
    while (m <= range && sum < total / 2) sum += h.counts[static_cast<std::size_t>(m++)];
    if (m < mean + 10) {
        *text += "INFO: skip code #2 (don't shift up)";
        return kStageSkipped;
    }
    // f is at most 2^31, m - mean at most 65535: the product fits in 64 bits,
    // and so does the point (at most a few million) times total.
    const std::int64_t point = mean + (m - mean) * f / 100;
    const std::int64_t target = point > (INT64_MAX / 2) / (total ? total : 1) ? INT64_MAX / 2 : point * total;
    int k = 0;
    while (moment < target && k < range) {
        moment += h.counts[static_cast<std::size_t>(k)];
        h.counts[static_cast<std::size_t>(k) + 1] += h.counts[static_cast<std::size_t>(k)];
        ++k;
    }
    if (range - k < 20) {
        *text += "WRN: skip code #3";
        return kStageSkipped;
    }
    const int floor = h.min + k, ceiling = h.max;
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * ctx.width;
        for (int x = 0; x < ctx.width; ++x) {
            const int v = row[x];
            row[x] = static_cast<std::int16_t>(v < floor ? floor : (v > ceiling ? ceiling : v));
        }
    });
    *text += platform::Format("INFO: %d..%d =>%d..%d", h.min, h.max, floor, h.max);
    return kStageDone;
}

}  // namespace kordex
