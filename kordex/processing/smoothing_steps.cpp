// Smoothing steps. Each reads a copy of the image taken before the step and
// writes the image; only pixels at least Rad away from every edge change.
//
// Sectors: an offset (x, y) of the disc belongs to sector
// trunc((atan2(y, x) + pi/8 + pi) / (pi/4)) mod 8, so sector t and t + 4 face
// each other across the pixel. Radii whose disc cannot fit the tables are
// refused before any offset is listed (a radius above 40 always overflows
// them), so no radius from the settings file can make the step hang.
#include "processing/smoothing_steps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/exact_math.h"
#include "platform/text.h"
#include "processing/box_smooth.h"
#include "processing/histogram.h"
#include "processing/sine_table.h"

namespace kordex {
namespace {

constexpr int kMaxTableRadius = 40;

void FailRun(const StageContext& ctx)
{
    std::atomic_ref<std::int32_t>(*ctx.abortState).store(-1);
}

std::int64_t ControlledWeight(const StageContext& ctx, const SmoothingControl& c, std::size_t i)
{
    if (!c.density || !c.positive) return c.weight;
    (void)ctx;
    return std::min<std::int64_t>(c.positive->Weight(c.density[i], c.weight), 1024);
}

}  // namespace

std::array<std::vector<DiscOffset>, 8> DiscSectors(int rad)
{
    std::array<std::vector<DiscOffset>, 8> sectors;
    for (int y = -rad; y <= rad; ++y)
        for (int x = -rad; x <= rad; ++x) {
            if ((x == 0 && y == 0) || x * x + y * y > rad * rad) continue;
            int s = static_cast<int>((std::atan2(static_cast<double>(y), static_cast<double>(x)) + M_PI / 8 + M_PI) /
                                     (M_PI / 4));
            s %= 8;
            sectors[static_cast<std::size_t>(s)].push_back({x, y});
        }
    return sectors;
}

int DirectionalSmoothing(const StageContext& ctx, int rad, int tag, const SmoothingControl& control)
{
    if (rad > kMaxTableRadius) {
        FailRun(ctx);
        return -1;
    }
    const std::array<std::vector<DiscOffset>, 8> sectors = DiscSectors(rad);
    for (const auto& s : sectors)
        if (s.empty() || s.size() > kMaxSectorOffsets) {
            FailRun(ctx);
            return -1;
        }
    const int w = ctx.width, h = ctx.height;
    if (2 * rad >= w || 2 * rad >= h) return 1;  // no pixel is Rad away from every edge
    const std::vector<std::int16_t> src(ctx.image, ctx.image + ctx.Pixels());
    std::array<std::vector<std::ptrdiff_t>, 8> deltas;
    for (int k = 0; k < 8; ++k)
        for (const DiscOffset& o : sectors[static_cast<std::size_t>(k)])
            deltas[static_cast<std::size_t>(k)].push_back(static_cast<std::ptrdiff_t>(o.dy) * w + o.dx);
    ForRows(ctx, rad, h - 1 - rad, [&](int y) {
        for (int x = rad; x < w - rad; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const std::int16_t* p = src.data() + i;
            const int v = *p;
            int mean[8];
            for (int k = 0; k < 8; ++k) {
                const auto& d = deltas[static_cast<std::size_t>(k)];
                int sum = 0;
                for (std::ptrdiff_t off : d) sum += p[off];
                mean[k] = sum / static_cast<int>(d.size());
            }
            const std::int64_t m = ControlledWeight(ctx, control, i);
            int target;
            if (tag == 1) {
                int best = (mean[0] + mean[4]) / 2;
                for (int t = 1; t < 4; ++t) {
                    const int l = (mean[t] + mean[t + 4]) / 2;
                    if (std::abs(l - v) < std::abs(best - v)) best = l;
                }
                target = best;
            } else {
                int k = 0;
                for (int t = 1; t < 8; ++t)
                    if (std::abs(mean[t] - v) < std::abs(mean[k] - v)) k = t;
                int best = (mean[k] + mean[(k + 3) % 8]) / 2;
                for (int j : {(k + 4) % 8, (k + 5) % 8}) {
                    const int pair = (mean[k] + mean[j]) / 2;
                    if (std::abs(pair - v) < std::abs(best - v)) best = pair;
                }
                target = best;
            }
            ctx.image[i] = platform::Wrap16((((static_cast<std::int64_t>(target) - v) * m + 511) >> 10) + v);
        }
    });
    return 1;
}

int WeightedSmoothing(const StageContext& ctx, int rad, int tag, const SmoothingControl& control)
{
    if (rad > kMaxTableRadius) {
        FailRun(ctx);
        return -1;
    }
    const int w = ctx.width, h = ctx.height;
    std::vector<std::ptrdiff_t> disc;
    for (int y = -rad; y <= rad; ++y)
        for (int x = -rad; x <= rad; ++x)
            if (x * x + y * y <= rad * rad) disc.push_back(static_cast<std::ptrdiff_t>(y) * w + x);
    if (disc.size() > kMaxDiscOffsets) {
        FailRun(ctx);
        return -1;
    }
    if (2 * rad >= w || 2 * rad >= h) return 1;
    const std::int64_t threshold = std::llabs(static_cast<long long>(tag));
    const std::int64_t t1 = threshold / 2, t2 = 2 * (threshold / 2);
    const std::vector<std::int16_t> src(ctx.image, ctx.image + ctx.Pixels());
    ForRows(ctx, rad, h - 1 - rad, [&](int y) {
        for (int x = rad; x < w - rad; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const std::int16_t* p = src.data() + i;
            const int v = *p;
            double sum = 0, total = 0;
            for (std::ptrdiff_t off : disc) {
                const int s = p[off];
                const std::int64_t d = std::abs(s - v);
                if (d < t1) {
                    sum += s;
                    total += 1;
                } else if (d < t2) {
                    const double u = 1.0 - static_cast<double>(d - t1) / static_cast<double>(t1);
                    sum += platform::Near(u * s);
                    total += u;
                }
            }
            if (total > 0.00001) {
                const std::int64_t m = ControlledWeight(ctx, control, i);
                const std::int64_t mean = NearClamped(sum / total);
                ctx.image[i] = platform::Wrap16(v - ((m * (v - mean) - 512) >> 10) - 1);
            }
        }
    });
    return 1;
}

int IntrinsicSharpening(const StageContext& ctx, int rad, const UsmStep& step)
{
    const IpParams& p = *ctx.params;
    const int w = ctx.width, h = ctx.height;
    const std::size_t n = ctx.Pixels();
    const std::int64_t r = rad;
    if (r > (1 << 20)) return -1;
    // Gains limited so no product below can leave the 64-bit range.
    const double f = std::clamp(step.w * 0.06, -1e9, 1e9);
    const double g = std::clamp(step.w * 0.06 * static_cast<double>(step.f9), -1e9, 1e9);
    const int r2 = NearClamped(static_cast<double>(r + 1) * static_cast<double>(step.f8));
    const std::int32_t* abortWord = ctx.abortState;
    std::vector<std::int16_t> scratch(n), box1(n), contour(n), blurred(n), blurred2;
    // 1. Contour: |box(R) - box(2R)|, smoothed with 2R + R/3, cut 0.01 % at both ends.
    if (!BoxSmoothInto(w, h, rad, ctx.image, box1.data(), abortWord, ctx.threads, scratch.data())) return -1;
    if (!BoxSmoothInto(w, h, 2 * rad, ctx.image, contour.data(), abortWord, ctx.threads, scratch.data())) return -1;
    for (std::size_t i = 0; i < n; ++i)
        contour[i] = platform::Wrap16(std::abs(static_cast<int>(box1[i]) - contour[i]));
    if (!BoxSmooth(w, h, static_cast<int>(2 * r + r / 3), contour.data(), abortWord, ctx.threads, scratch.data()))
        return -1;
    StageContext cctx = ctx;
    cctx.image = contour.data();
    int mn, mx, lo, hi;
    HistogramCut(cctx, 0.01, 0.01, false, &mn, &mx, &lo, &hi);
    ctx.Dump(platform::Format("3ausm_cont_%d", rad), contour.data());
    // 2. B = box(R + 1).
    if (!BoxSmoothInto(w, h, rad + 1, ctx.image, blurred.data(), abortWord, ctx.threads, scratch.data())) return -1;
    // 3. Level table.
    SineTable level;
    bool built;
    if (rad < 6) {
        const std::int64_t water = p.c3oWat, bone = p.c3oBon;
        const std::int64_t top = std::min<std::int64_t>(water + static_cast<std::int64_t>(0.75 * static_cast<double>(bone - water)), p.c3oMax);
        built = top <= INT32_MAX && BuildSineTable(p.c3oAir, static_cast<int>(top), 0, 0, -0.5235984, 4.2411466, level);
    } else {
        const auto [bmin, bmax] = std::minmax_element(blurred.begin(), blurred.end());
        built = BuildSineTable(*bmin, *bmax, 0, 0, -0.7853975, 3.1415901, level);
    }
    if (!built) return -1;
    RampDownTop(level, 0.85);
    // 4. Contour table: a falling half sine over the lower half of C's range.
    const auto [cmin, cmax] = std::minmax_element(contour.begin(), contour.end());
    SineTable cont;
    const int half = *cmin + (*cmax - *cmin) / 2;
    if (!BuildSineTable(*cmin, half, 0, 0, 1.570795, 4.712385, cont)) return -1;
    cont.entries.resize(static_cast<std::size_t>(*cmax - *cmin + 1), cont.entries.back());
    // 5. B2 = box(R2).
    const bool second = r2 > 0 && g > 0;
    if (second) {
        blurred2.resize(n);
        if (!BoxSmoothInto(w, h, r2, ctx.image, blurred2.data(), abortWord, ctx.threads, scratch.data())) return -1;
    }
    // 6. Apply; the coefficient dump reuses the scratch image.
    std::int16_t* coeff = scratch.data();
    ForRows(ctx, 0, h - 1, [&](int y) {
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const double wt = cont.At(contour[i]) * level.At(blurred[i]);
            coeff[i] = static_cast<std::int16_t>(static_cast<int>(wt * 100));
            if (wt <= 0) continue;
            const int v = ctx.image[i];
            std::int64_t out = v + static_cast<std::int64_t>(wt * (v - blurred[i]) * f);
            if (second) out += static_cast<std::int64_t>(g * wt * (v - blurred2[i]));
            ctx.image[i] = platform::Wrap16(out);
        }
    });
    ctx.Dump(platform::Format("3ausm_coeff_%d", rad), coeff);
    return 1;
}

}  // namespace kordex
