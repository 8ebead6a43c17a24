// The final stage: brush-up, equalisation, mapping and marker pixels.
//
// The segmentation contrast range puts the low end at the dark class (a
// percentile for frontal views, growing with the share of dark pixels) and
// the high end beyond the 99.9 per cent point by twice its distance from an
// upper percentile chosen by the top class's size and the segmentation
// coefficient. A range with high = low cannot be mapped and counts as failed.
//
// The marker samples FinC_Min, FinC_Max end the first row only when it holds
// at least two samples; a narrower image gets none (nothing is written
// outside the row).
#include "processing/final_contrast.h"

#include <algorithm>
#include <cmath>

#include "platform/exact_math.h"
#include "platform/text.h"

namespace kordex {

bool SegmentationContrastRange(const StageContext& ctx, int* low, int* high)
{
    IpParams& p = *ctx.params;
    const std::shared_ptr<std::vector<std::int8_t>> classes = std::move(p.classImage);
    p.classImage.reset();
    const std::size_t n = ctx.Pixels();
    if (!classes || classes->size() != n) return false;
    const std::int64_t g = static_cast<std::int64_t>(n) / 100;
    std::int64_t dark = 0, darkSum = 0, top = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if ((*classes)[i] == kClassDark) {
            ++dark;
            darkSum += ctx.image[i];
        } else if ((*classes)[i] == kClassTop) {
            ++top;
        }
    }
    if (dark < g || dark == 0) return false;
    const Histogram h = BuildHistogram(ctx.image, n);
    const bool frontal = p.viewKind == kViewFrontal;
    double s = 0;
    int lo;
    if (!frontal) {
        lo = dark <= 10 * g ? HistPercentile(h.n, 0.02, h) : static_cast<int>(darkSum / dark);
    } else {
        const double share = static_cast<double>(dark) * 100.0 / static_cast<double>(n);
        s = std::max((share - 7) * 2.2, 0.0);
        if (s > 16) s = 16 + (s - 16) * 0.5;
        if (s > 20) s = 20 + (s - 20) * 0.5;
        lo = HistPercentile(h.n, s + 0.02, h);
    }
    const int o = HistPercentile(h.n, 99.9, h);
    int u = o;
    if (top <= 3 * g) {
        double a;
        const double c = p.coeffCopy;
        if (top > g / 10)
            a = 99.5;
        else if (c >= 3.5)
            a = 90 - s * 0.5;
        else if (c >= 3.0)
            a = 92.5 - s * 0.5;
        else
            a = 95 - s * 0.5;
        if (frontal) a -= std::trunc((100 - a) * 1.65);
        u = HistPercentile(h.n, a, h);
    }
    const int hi = 3 * o - 2 * u;
    if (hi == lo) return false;
    *low = lo;
    *high = hi;
    p.contrastLow = lo;
    p.contrastHigh = hi;
    return true;
}

StageResult FinalContrast(const StageContext& ctx)
{
    IpParams& p = *ctx.params;
    BorderBrushUp(ctx, p.finCBrushUpR);
    if (ctx.Aborted()) return kStageDone;
    const int equalised = HistogramEqualisation(ctx, p.histEquThreshold);
    if (equalised > 0) {
        ctx.Stage("Hist equal done");
        ctx.Dump("4fin0equhist", ctx.image);
    } else if (equalised < 0) {
        ctx.Log(platform::Format("WRN: Hist equal fault code %d", equalised));
    }
    if (ctx.Aborted()) return kStageDone;
    const int fMin = p.finCMin, fMax = p.finCMax;
    if (p.classImage) {
        int lo = 0, hi = 0;
        if (!SegmentationContrastRange(ctx, &lo, &hi)) return kStageDone;
        const double scale = (static_cast<double>(fMax) - fMin) / (static_cast<double>(hi) - lo);
        ForRows(ctx, 0, ctx.height - 1, [&](int y) {
            std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * ctx.width;
            for (int x = 0; x < ctx.width; ++x) {
                const std::int64_t v = platform::Near64((row[x] - lo) * scale) + fMin;
                row[x] = platform::Wrap16(v < fMin ? fMin : (v > fMax ? fMax : v));
            }
        });
        ctx.Stage(platform::Format("sgm a-contrast: %d..%d=>%d..%d", lo, hi, fMin, fMax));
    } else {
        int mn = 0, mx = 0, lo = 0, hi = 0;
        if (HistogramCut(ctx, p.finCCutDark, p.finCCutBright, false, &mn, &mx, &lo, &hi) > 0) {
            ctx.Stage(platform::Format("Cut histogram %d..%d=>%d..%d", mn, mx, lo, hi));
            ctx.Dump("4fin1cuthist", ctx.image);
        }
        if (RescaleImage(ctx, fMin, fMax, &mn, &mx) <= 0) return kStageDone;
        ctx.Stage(platform::Format("Rescale data %d..%d=>%d..%d", mn, mx, fMin, fMax));
    }
    if (ctx.width >= 2) {
        ctx.image[ctx.width - 2] = platform::Wrap16(fMin);
        ctx.image[ctx.width - 1] = platform::Wrap16(fMax);
    }
    ctx.Dump("4fin2rescale", ctx.image);
    return kStageDone;
}

}  // namespace kordex
