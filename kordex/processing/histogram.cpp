// Histogram, percentile, cut and rescale.
//
// The cut walks its counts with the same "number of bins added" convention as
// the percentile: the high end is one above the level whose cumulative count
// first reaches the target. Both walks stop at the histogram's ends.
#include "processing/histogram.h"

#include <algorithm>

#include "frame/parallel_rows.h"
#include "platform/exact_math.h"
#include "platform/text.h"

namespace kordex {

void ForRows(const StageContext& ctx, int firstRow, int lastRow, const std::function<void(int y)>& body)
{
    if (lastRow < firstRow) return;
    ParallelRows(ctx.threads, firstRow, lastRow, [&](const RowBand& band) {
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            body(y);
            if (ctx.Aborted()) return;
        }
    });
}

Histogram BuildHistogram(const std::int16_t* samples, std::size_t n)
{
    Histogram h;
    h.n = static_cast<std::int64_t>(n);
    if (n == 0) {
        h.counts.assign(1, 0);
        return h;
    }
    int lo = samples[0], hi = samples[0];
    for (std::size_t i = 0; i < n; ++i) {
        lo = std::min<int>(lo, samples[i]);
        hi = std::max<int>(hi, samples[i]);
    }
    h.min = lo;
    h.max = hi;
    h.counts.assign(static_cast<std::size_t>(hi - lo + 1), 0);
    for (std::size_t i = 0; i < n; ++i) ++h.counts[static_cast<std::size_t>(samples[i] - lo)];
    return h;
}

int HistPercentile(std::int64_t n, double percent, const Histogram& h)
{
    const double t = static_cast<double>(n) * percent * 0.01;
    const std::int64_t target = t > 0 ? static_cast<std::int64_t>(t) : 0;
    if (target <= 0) return h.min;
    std::int64_t sum = 0;
    int added = 0;
    const int bins = static_cast<int>(h.counts.size());
    while (added < bins) {
        sum += h.counts[static_cast<std::size_t>(added)];
        ++added;
        if (sum >= target) break;
    }
    return h.min + added;
}

StageResult HistogramCut(const StageContext& ctx, double dark, double bright, bool shift, int* min, int* max, int* low,
                 int* high)
{
    *low = *high = 0x8000;
    if (dark < 0.00001 && bright < 0.00001) return kStageSkipped;
    const Histogram h = BuildHistogram(ctx.image, ctx.Pixels());
    *min = h.min;
    *max = h.max;
    const int range = h.Range();
    if (range <= 4) return kStageSkipped;
    const std::int64_t n = h.n;
    int j = range;
    if (bright > 1e-10) {
        const std::int64_t target = platform::Near64((100.0 - bright) * static_cast<double>(n) * 0.01);
        j = 0;
        if (target >= 1) {
            std::int64_t sum = 0;
            while (j <= range && sum < target) sum += h.counts[static_cast<std::size_t>(j++)];
        }
        j = std::min(j, range);
    }
    int i = 0;
    if (dark >= 1e-10) {
        const std::int64_t target = platform::Near64(static_cast<double>(n) * (100.0 - dark) * 0.01);
        i = range;
        std::int64_t sum = 0;
        while (i >= 0 && sum < target) sum += h.counts[static_cast<std::size_t>(i--)];
        i = std::max(i, 0);
    }
    const int lo = h.min + i, hi = h.min + j;
    const int offset = shift ? lo : 0;
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * ctx.width;
        for (int x = 0; x < ctx.width; ++x) {
            int v = row[x];
            v = v < lo ? lo : (v > hi ? hi : v);  // ordered so that lo > hi stays defined
            row[x] = platform::Wrap16(v - offset);
        }
    });
    *low = shift ? 0 : lo;
    *high = shift ? j - i : hi;
    return kStageDone;
}

StageResult RescaleImage(const StageContext& ctx, int lo, int hi, int* min, int* max)
{
    if (lo == hi) return kStageSkipped;
    const std::size_t n = ctx.Pixels();
    int mn = ctx.image[0], mx = ctx.image[0];
    for (std::size_t i = 0; i < n; ++i) {
        mn = std::min<int>(mn, ctx.image[i]);
        mx = std::max<int>(mx, ctx.image[i]);
    }
    *min = mn;
    *max = mx;
    if (mn >= mx) return kStageFailed;
    const float scale = static_cast<float>(static_cast<std::int64_t>(hi) - lo) / static_cast<float>(mx - mn);
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * ctx.width;
        for (int x = 0; x < ctx.width; ++x)
            row[x] = platform::Wrap16(platform::Near64(static_cast<double>((row[x] - mn) * scale)) + lo);
    });
    return kStageDone;
}

}  // namespace kordex
