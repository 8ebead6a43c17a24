// Inversion and the three-point grey curve.
//
// The curve falls from bone to air: o(i) = oAir + span * (1 - (i/(count-1))^gamma)
// with gamma chosen so the water input lands on the water output. Entries are
// rounded with near() literally (add 0.49999, truncate toward zero), so an
// exact -300.0 becomes -299. Values that leave the int range (a negative gamma
// makes the first entry infinite) are limited to it before rounding.
#include <algorithm>
#include <climits>
#include <cmath>

#include "frame/message_table.h"
#include "frame/job_word.h"
#include "platform/exact_math.h"
#include "platform/text.h"
#include "processing/grey_remap.h"
#include "processing/histogram.h"

namespace kordex {
namespace {

int SafeNear(double x)
{
    if (std::isnan(x)) return 0;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
    return platform::Near(x);
}

std::int16_t Store(std::int64_t v)
{
    return platform::Wrap16(v);
}

}  // namespace

int ThreePointCurve::Map(int v) const
{
    const std::int64_t count = static_cast<std::int64_t>(entries.size());
    const std::int64_t k = static_cast<std::int64_t>(v) - base;
    if (k >= 0 && k < count) return entries[static_cast<std::size_t>(k)];
    std::int64_t o;
    if (k < 0)
        o = static_cast<std::int64_t>(SafeNear(static_cast<double>(static_cast<float>(k) * slopeBelow))) + entries.front();
    else
        o = static_cast<std::int64_t>(
                SafeNear(static_cast<double>(static_cast<float>(k - (count - 1)) * slopeAbove))) +
            entries.back();
    return static_cast<int>(std::clamp<std::int64_t>(o, outMin, std::max(outMin, outMax)));
}

bool BuildThreePointCurve(const IpParams& p, int iA, int iW, int iB, ThreePointCurve& curve)
{
    const std::int64_t range = static_cast<std::int64_t>(iA) - iB;
    if (range <= 0 || range + 1 > kMaxCurveEntries) return false;
    const std::int64_t count = range + 1;
    const double oAir = p.c3oAir, span = static_cast<double>(p.c3oBon) - p.c3oAir;
    const double gamma =
        std::log(1.0 - (static_cast<double>(p.c3oWat) - oAir) / span) / std::log(static_cast<double>(iW - static_cast<std::int64_t>(iB)) / static_cast<double>(range));
    if (!std::isfinite(gamma)) return false;
    curve.base = iB;
    curve.outMin = p.c3oMin;
    curve.outMax = p.c3oMax;
    curve.entries.assign(static_cast<std::size_t>(count), 0);
    auto o = [&](std::int64_t i) {
        return oAir + span * (1.0 - std::pow(static_cast<double>(i) / static_cast<double>(count - 1), gamma));
    };
    for (std::int64_t i = 0; i < count; ++i) {
        int e = SafeNear(o(i));
        if (e > p.c3oMax) e = p.c3oMax;
        curve.entries[static_cast<std::size_t>(i)] = e;
    }
    auto finiteFloat = [](double x) {
        const float f = static_cast<float>(x);
        return std::isfinite(f) ? f : 0.0f;
    };
    curve.slopeBelow = finiteFloat(o(1) - o(0));
    curve.slopeAbove = finiteFloat(o(count - 1) - o(count - 2));
    if (p.c3oMax0 != 0 && iB != 0)
        curve.slopeBelow = finiteFloat((static_cast<double>(p.c3oBon) - p.c3oMax) / static_cast<double>(iB));
    return true;
}

StageResult InvertImage(const StageContext& ctx)
{
    ctx.Stage("Inversion re-map started");
    const std::size_t n = ctx.Pixels();
    const int m = *std::max_element(ctx.image, ctx.image + n);
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * ctx.width;
        for (int x = 0; x < ctx.width; ++x) row[x] = Store(m - row[x]);
    });
    return kStageDone;
}

StageResult ApplyThreePointCurve(const StageContext& ctx)
{
    const IpParams& p = *ctx.params;
    ctx.Stage("3P-curve re-map started");
    int iA = p.c3iAir, iW = p.c3iWat, iB = p.c3iBon;
    if (p.c3iPerc != 0) {
        const Histogram h = BuildHistogram(ctx.image, ctx.Pixels());
        if (h.Range() >= 4) {
            iA = HistPercentile(h.n, p.c3iAirPerc, h);
            iW = HistPercentile(h.n, p.c3iWatPerc, h);
            iB = HistPercentile(h.n, p.c3iBonPerc, h);
        }
        ctx.Stage(platform::Format("iA=%d iW=%d iB=%d (%%%.1f %.1f %.1f)", iA, iW, iB,
                                   static_cast<double>(p.c3iAirPerc), static_cast<double>(p.c3iWatPerc),
                                   static_cast<double>(p.c3iBonPerc)));
    }
    ThreePointCurve curve;
    if (!BuildThreePointCurve(p, iA, iW, iB, curve)) {
        ctx.Error(MessageText(ctx.messages, kMsgWrongRemap));
        StoreWord(ctx.abortState, -1);
        return kStageFailed;
    }
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * ctx.width;
        for (int x = 0; x < ctx.width; ++x) row[x] = Store(curve.Map(row[x]));
    });
    return ctx.Aborted() ? kStageSkipped : kStageDone;
}

}  // namespace kordex
