#include "grayscope/view/histogram_plot.h"

#include <algorithm>

namespace grayscope {

HistogramRange EffectiveRange(int min, int max, int scale)
{
    HistogramRange r;
    r.scale = scale < 1 ? 500 : scale;
    if (min < max) {
        r.min = min;
        r.max = max;
    }
    return r;
}

int HistogramY(int v, const HistogramRange& range, int n, int bottom)
{
    const double t = static_cast<double>(v - range.min) * n / (range.max - range.min);
    return bottom - static_cast<int>(t + (t < 0 ? -0.5 : 0.5)) - 13;
}

std::vector<std::uint32_t> ResampleHistogram(const ViewerImage& image, int a, int b, int rows)
{
    std::vector<std::uint32_t> out;
    if (image.Empty() || a >= b || rows < 2)
        return out;
    auto rowOf = [&](std::int64_t v) {
        return static_cast<std::int64_t>((v - a) * static_cast<std::int64_t>(rows - 1) / (b - a));
    };
    const std::int64_t rMin = rowOf(image.min);
    const std::int64_t rMax = rowOf(image.max);
    if (rMin == rMax)
        return out;
    out.assign(rows, 0u);
    const std::int64_t first = std::max<std::int64_t>(rMin, 0);
    const std::int64_t last = std::min<std::int64_t>(rMax, rows - 1);
    if (rMax - rMin + 1 >= image.range) {
        const double step = static_cast<double>(b - a) / (rows - 1);
        for (std::int64_t i = first; i <= last; ++i) {
            const std::int64_t v = a + static_cast<std::int64_t>(step * static_cast<double>(i));
            const std::int64_t k = v - image.min;
            out[i] = (k >= 0 && k < image.range) ? image.histogram[k] : 0u;
        }
        return out;
    }
    std::vector<std::uint32_t> values(rows, 0u);
    std::vector<std::uint64_t> sums(rows, 0u);
    const int lo = std::max(a, image.min);
    const int hi = std::min(b, image.max);
    for (int v = lo; v <= hi; ++v) {
        const std::int64_t r = rowOf(v);
        sums[r] += image.histogram[v - image.min];
        ++values[r];
    }
    for (int r = 0; r < rows; ++r) {
        if (values[r] > 1)
            out[r] = static_cast<std::uint32_t>((sums[r] * 32 / values[r] + 15) / 32);
        else
            out[r] = static_cast<std::uint32_t>(sums[r]);
    }
    return out;
}

int BarLength(std::uint32_t count, int plotWidth, std::int64_t pixels, int scale)
{
    const std::int64_t full = std::max<std::int64_t>(1, pixels / 100000) * std::max(scale, 1);
    return static_cast<int>(static_cast<std::int64_t>(count) * plotWidth / full);
}

TickSteps ChooseTicks(int lo, int hi, int wanted)
{
    TickSteps t;
    if (hi - lo <= 4) {
        t.step = 1;
        t.first = lo;
        t.last = hi;
        return t;
    }
    static constexpr int kBase[] = {5, 10, 20, 25, 40};
    const int limit = std::max(wanted, 3);
    long long step = 5;
    for (long long factor = 1; factor <= 1000000000LL; factor *= 10) {
        bool found = false;
        for (int base : kBase) {
            step = base * factor;
            if ((static_cast<long long>(hi) - lo) / step < limit) {
                found = true;
                break;
            }
        }
        if (found)
            break;
    }
    const int s = static_cast<int>(step);
    t.step = s;
    t.first = lo - lo % s;
    const int r = hi % s;
    t.last = r > 0 ? hi - r + s : hi - r;
    return t;
}

}  // namespace grayscope
