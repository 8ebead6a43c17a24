// The estimated segmentation: air, water and bone levels of the remapped
// image from a multi-scale slope measure, and the class image the final
// stage uses for its contrast range.
//
// Four box-smoothed copies at growing radii give three differences D1..D3;
// the slope K = 4(D1 + 2 D2 + 3 D3) - 6(D1 + D2 + D3) separates flat dark
// areas (air) from structured bright ones (bone). Images of fewer than 700
// pixels (a hundredth of which is under 7, so the classes would be empty)
// are left alone.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "processing/box_smooth.h"
#include "processing/grey_remap.h"
#include "processing/histogram.h"

namespace kordex {

Segmentation EstimateSegmentation(const StageContext& ctx, float coefficient)
{
    Segmentation result;
    const std::size_t n = ctx.Pixels();
    if (n < 700) return result;
    const Histogram h = BuildHistogram(ctx.image, n);
    if (h.Range() <= 9) return result;
    const int p35 = HistPercentile(h.n, 35, h), p65 = HistPercentile(h.n, 65, h), p75 = HistPercentile(h.n, 75, h);
    const int r0 = ctx.settings ? ctx.settings->ipProtDifCtlRad : 5;
    const int s = std::min(ctx.width, ctx.height);
    const int r = std::max(s / 75, r0), q = std::max(s / 25, 2 * r0);
    std::vector<std::int16_t> copies[4];
    std::vector<std::int16_t> scratch(n);
    for (int c = 0; c < 4; ++c) {
        copies[c].resize(n);
        const std::int64_t radius = static_cast<std::int64_t>(r) + static_cast<std::int64_t>(c) * q;
        if (!BoxSmoothInto(ctx.width, ctx.height, static_cast<int>(std::clamp<std::int64_t>(radius, 0, 1 << 30)),
                           ctx.image, copies[c].data(), ctx.abortState, ctx.threads, scratch.data())) {
            result.status = -1;
            return result;
        }
    }
    std::vector<std::int16_t>& slope = scratch;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t d1 = copies[0][i] - copies[1][i], d2 = copies[0][i] - copies[2][i],
                           d3 = copies[0][i] - copies[3][i];
        const std::int64_t k = 4 * (d1 + 2 * d2 + 3 * d3) - 6 * (d1 + d2 + d3);
        slope[i] = static_cast<std::int16_t>(std::clamp<std::int64_t>(k, -32767, 32767));
    }
    ctx.Dump("2crv5_1Polynomial", slope.data());
    std::int64_t count = 0, sumK = 0, sumAbs = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int v = ctx.image[i];
        if (v < p35 || v > p65) continue;
        ++count;
        sumK += slope[i];
        sumAbs += std::abs(static_cast<int>(slope[i]));
    }
    const std::int64_t g = static_cast<std::int64_t>(n) / 100;
    if (count < g || count == 0) return result;
    const double mean = static_cast<double>(sumK) / static_cast<double>(count);
    const double f = static_cast<double>(coefficient) * (static_cast<double>(sumAbs) / static_cast<double>(count));
    const double t1 = mean - 2 * f, t2 = mean - f, t3 = mean + 0.75 * f, t4 = mean + 1.5 * f, t5 = mean + 2.5 * f;
    std::int64_t airN = 0, airSum = 0, boneN = 0, boneSum = 0, topN = 0, topSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double k = slope[i];
        const int v = ctx.image[i];
        if (k < t1) continue;
        if (k < t2) {
            ++airN;
            airSum += v;
        } else if (k < t3) {
        } else if (k < t4) {
            ++boneN;
            boneSum += v;
        } else if (k < t5 || v < p75) {
        } else {
            ++topN;
            topSum += v;
        }
    }
    if (airN < g / 7 || boneN < g / 7 || airN == 0 || boneN == 0) return result;
    const std::int64_t a = airSum / airN, bn = boneSum / boneN, d = bn - a;
    const std::int64_t b = bn + 2 * d;
    const std::int64_t w = static_cast<std::int64_t>(static_cast<double>(b + a) * 0.4);
    const double top = topN > g / 3 ? static_cast<double>(topSum / topN) : 65535.0;
    double qLevel = static_cast<double>(a) + 1.25 * static_cast<double>(d);
    if (top >= qLevel) qLevel = std::min(static_cast<double>(a) + 2.5 * static_cast<double>(d), top);
    auto classes = std::make_shared<std::vector<std::int8_t>>(n, kClassNone);
    std::vector<std::int16_t> classDump(n);
    for (std::size_t i = 0; i < n; ++i) {
        const int v = ctx.image[i];
        std::int8_t c = kClassNone;
        if (v <= a)
            c = kClassDark;
        else if (v >= qLevel)
            c = kClassTop;
        else if (v >= bn)
            c = kClassBone;
        (*classes)[i] = c;
        classDump[i] = c == kClassNone ? ctx.image[i] : static_cast<std::int16_t>(-10000 * c);
    }
    ctx.Dump("2crv5_2estseg", classDump.data());
    ctx.params->classImage = classes;
    ctx.params->coeffCopy = coefficient;
    auto toInt = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
    result.status = 1;
    result.air = toInt(a);
    result.water = toInt(w);
    result.bone = toInt(b);
    return result;
}

}  // namespace kordex
