// Histogram equalisation of the middle of the histogram (by default 10..90
// per cent of the value range): the bins between are regrouped into steps of equal pixel
// count, the steps spread over the interval, and the jumps between steps
// softened into short ramps. The ramps are written into a copy of the table,
// so each reads the unsmoothed one. A histogram in which no quota completes
// leaves the interval as it is (there are no steps to spread).
#include <algorithm>
#include <vector>

#include "platform/exact_math.h"
#include "processing/final_contrast.h"

namespace kordex {

int HistogramEqualisation(const StageContext& ctx, int t, double lowerPercent, double upperPercent)
{
    if (t <= 0) return 0;
    const Histogram hist = BuildHistogram(ctx.image, ctx.Pixels());
    const int range = hist.Range();
    if (range < 20) return -1;
    const int lo = std::max(platform::Near(lowerPercent * range * 0.01), 0);
    const int hi = std::min(platform::Near(upperPercent * range * 0.01), range);
    if (hi - lo < 20) return -2;
    std::vector<int> table(static_cast<std::size_t>(range) + 1);
    for (int i = 0; i <= range; ++i) table[static_cast<std::size_t>(i)] = i;
    std::int64_t s = 0;
    for (int i = lo; i <= hi; ++i) s += hist.counts[static_cast<std::size_t>(i)];
    if (s < 20 * static_cast<std::int64_t>(hi - lo)) return -3;
    const std::int64_t quota =
        platform::Near64(static_cast<double>(s) / (static_cast<double>(t) * 0.1 * static_cast<double>(hi - lo + 1)));
    std::int64_t running = 0;
    int j = 0;
    for (int i = lo + 1; i <= hi - 1; ++i) {
        running += hist.counts[static_cast<std::size_t>(i)];
        if (running >= quota && j <= hi - lo + 1) {
            running = 0;
            ++j;
        }
        table[static_cast<std::size_t>(i)] = j;
    }
    if (j == 0) return 0;
    const double step = static_cast<double>(hi - lo) / j;
    for (int i = lo + 1; i <= hi - 1; ++i) {
        const int e = table[static_cast<std::size_t>(i)];
        table[static_cast<std::size_t>(i)] = lo + static_cast<int>(step * e + 0.49999);
    }
    std::vector<int> smooth = table;
    for (int k = 0; k < range; ++k) {
        const int a = table[static_cast<std::size_t>(k)], b = table[static_cast<std::size_t>(k) + 1];
        if (b - a <= 1) continue;
        int u = k;
        while (u > 0 && table[static_cast<std::size_t>(u) - 1] == a) --u;
        int l = k + 1;
        while (l < range && table[static_cast<std::size_t>(l) + 1] == b) ++l;
        const int half = (k - u + 1) / 2;
        const int width = half + (l - k) / 2;
        if (width <= 1) continue;
        const int start = table[static_cast<std::size_t>(k - half)];
        for (int m = 0; m < width; ++m)
            smooth[static_cast<std::size_t>(k - half + m)] =
                start + platform::Near(static_cast<double>(b - a) / width * m);
    }
    const int mn = hist.min;
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * ctx.width;
        for (int x = 0; x < ctx.width; ++x)
            row[x] = platform::Wrap16(mn + smooth[static_cast<std::size_t>(row[x] - mn)]);
    });
    return 1;
}

}  // namespace kordex
