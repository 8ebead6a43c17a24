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

#include "frame/job_word.h"
#include "frame/parallel_rows.h"
#include "frame/vector_clones.h"
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
    StoreWord(ctx.abortState, -1);
}

std::int64_t ControlledWeight(const StageContext& ctx, const SmoothingControl& c, std::size_t i)
{
    if (!c.density || !c.positive) return c.weight;
    (void)ctx;
    return std::min<std::int64_t>(c.positive->Weight(c.density[i], c.weight), 1024);
}

// Directional smoothing works on chunks of kChunk pixels of a row: the eight
// sector sums of every pixel of the chunk are built four offsets at a time
// (a long run of offsets from prefix sums) in plain loops over the chunk,
// then divided, then the target mean is chosen without branches. Each pixel's arithmetic is the same as for the
// pixel alone, so the result does not depend on the chunking.
constexpr int kChunk = 256;

// A sector's offsets along one row: dx .. dx + length - 1 at dy. Runs of at
// least kPrefixRun samples are summed from the row prefix sums (two loads
// instead of length); shorter ones sample by sample, since building the
// prefix sums costs more than it saves for the small radii.
struct Run {
    int dy, dx, length;
};
constexpr int kPrefixRun = 8;

// Sector sums are divided through platform::InverseOf: a sector holds at
// most 127 samples, so |sum| < 2^22, well inside its exact range.
using platform::InverseOf;

// Weights of at most 2^14 in size keep (target - v) * m + 511 inside 32 bits
// (|target - v| < 2^16), so the blend runs in 32-bit lanes.
constexpr std::int64_t kNarrowWeight = 1 << 14;

// The samples at four offsets at once, so the sums go through memory once
// per four samples; a missing offset reads the zero row.
KORDEX_VECTOR_CLONES
void AddFourSamples(std::int32_t* __restrict sums, const std::int16_t* __restrict p0,
                    const std::int16_t* __restrict p1, const std::int16_t* __restrict p2,
                    const std::int16_t* __restrict p3, int n, bool first)
{
    if (first)
        for (int c = 0; c < n; ++c) sums[c] = (p0[c] + p1[c]) + (p2[c] + p3[c]);
    else
        for (int c = 0; c < n; ++c) sums[c] += (p0[c] + p1[c]) + (p2[c] + p3[c]);
}

alignas(64) constexpr std::int16_t kZeroRow[kChunk] = {};

// The row prefix sums wrap modulo 2^32; a run's true sum fits in 32 bits, so
// the wrapped difference is exact.
KORDEX_VECTOR_CLONES
void AddRunSums(std::int32_t* __restrict sums, const std::uint32_t* __restrict end, const std::uint32_t* __restrict begin,
                int n, bool first)
{
    if (first)
        for (int c = 0; c < n; ++c) sums[c] = static_cast<std::int32_t>(end[c] - begin[c]);
    else
        for (int c = 0; c < n; ++c) sums[c] += static_cast<std::int32_t>(end[c] - begin[c]);
}

KORDEX_VECTOR_CLONES
void DivideSums(std::int32_t* __restrict sums, int n, double inverse)
{
    for (int c = 0; c < n; ++c) sums[c] = static_cast<std::int32_t>(static_cast<double>(sums[c]) * inverse);
}

inline int Abs(int a)
{
    return a < 0 ? -a : a;
}

// Tag 1: the line mean (S(t) + S(t + 4)) / 2 closest to v, first on ties.
KORDEX_VECTOR_CLONES
void ChooseLine(const std::int32_t (*__restrict mean)[kChunk], const std::int16_t* __restrict value,
                std::int32_t* __restrict target, int n)
{
    for (int c = 0; c < n; ++c) {
        const int v = value[c];
        int best = (mean[0][c] + mean[4][c]) / 2;
        int bestDist = Abs(best - v);
        for (int t = 1; t < 4; ++t) {
            const int l = (mean[t][c] + mean[t + 4][c]) / 2;
            const int d = Abs(l - v);
            best = d < bestDist ? l : best;
            bestDist = d < bestDist ? d : bestDist;
        }
        target[c] = best;
    }
}

// Tag 0: the sector k closest to v (first on ties), then the pair mean of k
// with k + 3, k + 4 or k + 5 closest to v (a later one only when strictly
// closer). The three partners are carried along while k is chosen.
KORDEX_VECTOR_CLONES
void ChooseSectorPair(const std::int32_t (*__restrict mean)[kChunk], const std::int16_t* __restrict value,
                      std::int32_t* __restrict target, int n)
{
    for (int c = 0; c < n; ++c) {
        const int v = value[c];
        int s = mean[0][c], a = mean[3][c], b = mean[4][c], e = mean[5][c];
        int bestDist = Abs(s - v);
        for (int t = 1; t < 8; ++t) {
            const int d = Abs(mean[t][c] - v);
            const bool closer = d < bestDist;
            s = closer ? mean[t][c] : s;
            a = closer ? mean[(t + 3) % 8][c] : a;
            b = closer ? mean[(t + 4) % 8][c] : b;
            e = closer ? mean[(t + 5) % 8][c] : e;
            bestDist = closer ? d : bestDist;
        }
        int best = (s + a) / 2;
        int pairDist = Abs(best - v);
        const int withB = (s + b) / 2, distB = Abs(withB - v);
        best = distB < pairDist ? withB : best;
        pairDist = distB < pairDist ? distB : pairDist;
        const int withE = (s + e) / 2;
        target[c] = Abs(withE - v) < pairDist ? withE : best;
    }
}

// (((target - v) * m + 511) >> 10) + v in 32-bit lanes; every |m| is at most
// kNarrowWeight.
KORDEX_VECTOR_CLONES
void BlendNarrow(const std::int32_t* __restrict target, const std::int16_t* __restrict value,
                 const std::int32_t* __restrict weight, std::int16_t* __restrict out, int n)
{
    for (int c = 0; c < n; ++c) {
        const int v = value[c];
        out[c] = static_cast<std::int16_t>((((target[c] - v) * weight[c] + 511) >> 10) + v);
    }
}

void BlendWide(const std::int32_t* target, const std::int16_t* value, const std::int64_t* weight, std::int16_t* out,
               int n)
{
    for (int c = 0; c < n; ++c) {
        const int v = value[c];
        out[c] = platform::Wrap16((((static_cast<std::int64_t>(target[c]) - v) * weight[c] + 511) >> 10) + v);
    }
}

// Weighted smoothing, one disc offset for a chunk of pixels: a sample s
// with d = |s - v| below t1 adds s and 1, one below t2 adds near(u * s) and
// u = 1 - (d - t1) / t1, others nothing. Without branches: d is clamped into
// t1..t2 (t2 = 2 * t1), so u comes out exactly 1 below t1 and exactly 0 from
// t2 on, where near(0 * s) is 0 too; adding 0 leaves a sum as it is (none
// is ever -0.0). So every pixel's sums are the same, in the same order, as
// with branches. t1 is at least 1.
KORDEX_VECTOR_CLONES
void AddWeightedSamples(double* __restrict sum, double* __restrict total, const std::int16_t* __restrict sample,
                        const std::int16_t* __restrict value, int n, int t1, int t2)
{
    const double t1Real = t1;
    for (int c = 0; c < n; ++c) {
        const int s = sample[c];
        const int d = Abs(s - value[c]);
        const int clamped = std::min(std::max(d, t1), t2);
        const double u = 1.0 - static_cast<double>(clamped - t1) / t1Real;
        // Both terms are formed for every sample (no conversion is left to
        // a branch), then s is taken below t1.
        const int weighted = platform::Near(u * s);
        const int full = d < t1;
        sum[c] += weighted + full * (s - weighted);
        total[c] += u;
    }
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

StageResult DirectionalSmoothing(const StageContext& ctx, int rad, int tag, const SmoothingControl& control)
{
    if (rad > kMaxTableRadius) {
        FailRun(ctx);
        return kStageFailed;
    }
    const std::array<std::vector<DiscOffset>, 8> sectors = DiscSectors(rad);
    for (const auto& s : sectors)
        if (s.empty() || s.size() > kMaxSectorOffsets) {
            FailRun(ctx);
            return kStageFailed;
        }
    const int w = ctx.width, h = ctx.height;
    if (2 * rad >= w || 2 * rad >= h) return kStageDone;  // no pixel is Rad away from every edge
    // Offsets are listed row by row with x rising, so neighbours along a row
    // join into runs; the long runs are summed from prefix sums, the samples
    // of the others one by one (as offsets into the image).
    std::array<std::vector<Run>, 8> longRuns;
    std::array<std::vector<std::ptrdiff_t>, 8> samples;
    std::array<double, 8> inverse;
    bool prefixNeeded = false;
    for (std::size_t k = 0; k < 8; ++k) {
        std::vector<Run> runs;
        for (const DiscOffset& o : sectors[k]) {
            if (!runs.empty() && runs.back().dy == o.dy && runs.back().dx + runs.back().length == o.dx)
                ++runs.back().length;
            else
                runs.push_back({o.dy, o.dx, 1});
        }
        for (const Run& r : runs) {
            if (r.length >= kPrefixRun) {
                longRuns[k].push_back(r);
                prefixNeeded = true;
                continue;
            }
            for (int j = 0; j < r.length; ++j)
                samples[k].push_back(static_cast<std::ptrdiff_t>(r.dy) * w + r.dx + j);
        }
        inverse[k] = InverseOf(static_cast<int>(sectors[k].size()));
    }
    const std::vector<std::int16_t> src(ctx.image, ctx.image + ctx.Pixels());
    // Row prefix sums: prefix[y][x] is the sum of the row's samples before x.
    const std::size_t stride = static_cast<std::size_t>(w) + 1;
    std::vector<std::uint32_t> prefix(prefixNeeded ? stride * static_cast<std::size_t>(h) : 0);
    if (prefixNeeded)
        ParallelRows(ctx.threads, 0, h - 1, [&](const RowBand& band) {
            for (int y = band.firstRow; y <= band.lastRow; ++y) {
                const std::int16_t* row = src.data() + static_cast<std::size_t>(y) * w;
                std::uint32_t* out = prefix.data() + static_cast<std::size_t>(y) * stride;
                std::uint32_t sum = 0;
                out[0] = 0;
                for (int x = 0; x < w; ++x) out[x + 1] = sum += static_cast<std::uint32_t>(row[x]);
            }
        });
    const bool controlled = control.density && control.positive;
    const bool narrowConstant = control.weight >= -kNarrowWeight && control.weight <= kNarrowWeight;
    std::array<std::int32_t, kChunk> constantWeights;
    constantWeights.fill(narrowConstant ? static_cast<std::int32_t>(control.weight) : 0);
    const std::int32_t* constantNarrow = constantWeights.data();
    ForRows(ctx, rad, h - 1 - rad, [&](int y) {
        alignas(64) std::int32_t mean[8][kChunk];
        alignas(64) std::int32_t target[kChunk];
        alignas(64) std::int32_t narrow[kChunk];
        alignas(64) std::int64_t wide[kChunk];
        for (int x0 = rad; x0 < w - rad; x0 += kChunk) {
            const int n = std::min(kChunk, w - rad - x0);
            const std::size_t first = static_cast<std::size_t>(y) * w + x0;
            const std::int16_t* value = src.data() + first;
            for (std::size_t k = 0; k < 8; ++k) {
                // Every sector holds at least one offset, so the first
                // call sets the sums and the others add to them.
                bool firstCall = true;
                for (const Run& r : longRuns[k]) {
                    const std::uint32_t* row = prefix.data() + static_cast<std::size_t>(y + r.dy) * stride + x0 + r.dx;
                    AddRunSums(mean[k], row + r.length, row, n, firstCall);
                    firstCall = false;
                }
                const std::vector<std::ptrdiff_t>& offsets = samples[k];
                for (std::size_t j = 0; j < offsets.size(); j += 4) {
                    const std::int16_t* p[4];
                    for (std::size_t q = 0; q < 4; ++q)
                        p[q] = j + q < offsets.size() ? value + offsets[j + q] : kZeroRow;
                    AddFourSamples(mean[k], p[0], p[1], p[2], p[3], n, firstCall);
                    firstCall = false;
                }
                DivideSums(mean[k], n, inverse[k]);
            }
            if (tag == 1)
                ChooseLine(mean, value, target, n);
            else
                ChooseSectorPair(mean, value, target, n);
            std::int16_t* out = ctx.image + first;
            if (!controlled) {
                if (narrowConstant) {
                    BlendNarrow(target, value, constantNarrow, out, n);
                } else {
                    std::fill(wide, wide + n, control.weight);
                    BlendWide(target, value, wide, out, n);
                }
                continue;
            }
            bool narrowWeights = true;
            for (int c = 0; c < n; ++c) {
                wide[c] = ControlledWeight(ctx, control, first + static_cast<std::size_t>(c));
                narrowWeights = narrowWeights && wide[c] >= -kNarrowWeight && wide[c] <= kNarrowWeight;
            }
            if (narrowWeights) {
                for (int c = 0; c < n; ++c) narrow[c] = static_cast<std::int32_t>(wide[c]);
                BlendNarrow(target, value, narrow, out, n);
            } else {
                BlendWide(target, value, wide, out, n);
            }
        }
    });
    return kStageDone;
}

StageResult WeightedSmoothing(const StageContext& ctx, int rad, int tag, const SmoothingControl& control)
{
    if (rad > kMaxTableRadius) {
        FailRun(ctx);
        return kStageFailed;
    }
    const int w = ctx.width, h = ctx.height;
    std::vector<std::ptrdiff_t> disc;
    for (int y = -rad; y <= rad; ++y)
        for (int x = -rad; x <= rad; ++x)
            if (x * x + y * y <= rad * rad) disc.push_back(static_cast<std::ptrdiff_t>(y) * w + x);
    if (disc.size() > kMaxDiscOffsets) {
        FailRun(ctx);
        return kStageFailed;
    }
    if (2 * rad >= w || 2 * rad >= h) return kStageDone;
    const std::int64_t threshold = std::llabs(static_cast<long long>(tag));
    const std::int64_t t1 = threshold / 2, t2 = 2 * (threshold / 2);
    if (t1 == 0) return kStageDone;  // no sample is ever close enough: nothing changes
    // |s - v| is at most 65535, so limited thresholds compare the same.
    const int near = static_cast<int>(std::min<std::int64_t>(t1, 65536));
    const int far = static_cast<int>(std::min<std::int64_t>(t2, 131072));
    const std::vector<std::int16_t> src(ctx.image, ctx.image + ctx.Pixels());
    ForRows(ctx, rad, h - 1 - rad, [&](int y) {
        alignas(64) double sum[kChunk];
        alignas(64) double total[kChunk];
        for (int x0 = rad; x0 < w - rad; x0 += kChunk) {
            const int n = std::min(kChunk, w - rad - x0);
            const std::size_t first = static_cast<std::size_t>(y) * w + x0;
            const std::int16_t* value = src.data() + first;
            std::fill(sum, sum + n, 0.0);
            std::fill(total, total + n, 0.0);
            for (std::ptrdiff_t off : disc) AddWeightedSamples(sum, total, value + off, value, n, near, far);
            for (int c = 0; c < n; ++c) {
                if (!(total[c] > 0.00001)) continue;
                const std::size_t i = first + static_cast<std::size_t>(c);
                const int v = value[c];
                const std::int64_t m = ControlledWeight(ctx, control, i);
                const std::int64_t mean = NearClamped(sum[c] / total[c]);
                ctx.image[i] = platform::Wrap16(v - ((m * (v - mean) - 512) >> 10) - 1);
            }
        }
    });
    return kStageDone;
}

StageResult IntrinsicSharpening(const StageContext& ctx, int rad, const UsmStep& step)
{
    const IpParams& p = *ctx.params;
    const int w = ctx.width, h = ctx.height;
    const std::size_t n = ctx.Pixels();
    const std::int64_t r = rad;
    if (r > (1 << 20)) return kStageFailed;
    // Gains limited so no product below can leave the 64-bit range.
    const double f = std::clamp(step.w * 0.06, -1e9, 1e9);
    const double g = std::clamp(step.w * 0.06 * static_cast<double>(step.f9), -1e9, 1e9);
    const int r2 = NearClamped(static_cast<double>(r + 1) * static_cast<double>(step.f8));
    const std::int32_t* abortWord = ctx.abortState;
    std::vector<std::int16_t> scratch(n), box1(n), contour(n), blurred(n), blurred2;
    // 1. Contour: |box(R) - box(2R)|, smoothed with 2R + R/3, cut 0.01 % at both ends.
    if (!BoxSmoothInto(w, h, rad, ctx.image, box1.data(), abortWord, ctx.threads, scratch.data())) return kStageFailed;
    if (!BoxSmoothInto(w, h, 2 * rad, ctx.image, contour.data(), abortWord, ctx.threads, scratch.data())) return kStageFailed;
    for (std::size_t i = 0; i < n; ++i)
        contour[i] = platform::Wrap16(std::abs(static_cast<int>(box1[i]) - contour[i]));
    if (!BoxSmooth(w, h, static_cast<int>(2 * r + r / 3), contour.data(), abortWord, ctx.threads, scratch.data()))
        return kStageFailed;
    StageContext cctx = ctx;
    cctx.image = contour.data();
    int mn, mx, lo, hi;
    HistogramCut(cctx, 0.01, 0.01, false, &mn, &mx, &lo, &hi);
    ctx.Dump(platform::Format("3ausm_cont_%d", rad), contour.data());
    // 2. B = box(R + 1).
    if (!BoxSmoothInto(w, h, rad + 1, ctx.image, blurred.data(), abortWord, ctx.threads, scratch.data())) return kStageFailed;
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
    if (!built) return kStageFailed;
    RampDownTop(level, 0.85);
    // 4. Contour table over C's whole range: a falling half sine over its
    // lower half (top share 50 %), the upper half keeping the last value 0.
    // So a C spanning 10 levels or more always has its table.
    const auto [cmin, cmax] = std::minmax_element(contour.begin(), contour.end());
    SineTable cont;
    if (!BuildSineTable(*cmin, *cmax, 0, 50, 1.570795, 4.712385, cont)) return kStageFailed;
    // 5. B2 = box(R2).
    const bool second = r2 > 0 && g > 0;
    if (second) {
        blurred2.resize(n);
        if (!BoxSmoothInto(w, h, r2, ctx.image, blurred2.data(), abortWord, ctx.threads, scratch.data())) return kStageFailed;
    }
    // 6. Apply to the pixels at least Rad away from every edge, as every
    // smoothing step does; the coefficient dump reuses the scratch image and
    // shows 0 on the border left as it was.
    std::int16_t* coeff = scratch.data();
    std::fill(scratch.begin(), scratch.end(), std::int16_t{0});
    if (2 * r >= w || 2 * r >= h) {
        ctx.Dump(platform::Format("3ausm_coeff_%d", rad), coeff);
        return kStageDone;
    }
    ForRows(ctx, rad, h - 1 - rad, [&](int y) {
        for (int x = rad; x < w - rad; ++x) {
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
    return kStageDone;
}

}  // namespace kordex
