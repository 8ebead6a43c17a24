// Gain calibration step.
//
// Results are limited to -32768..32767 before they are stored: with the
// default Cal_SatValue 65535 an extrapolated value above 32767 would otherwise
// wrap negative in the 16-bit frame (and a strongly negative input below the
// first point could wrap positive). Values inside the range are unchanged.
// The curve is a template parameter, so the choice is made once per step and
// the pass has no per-pixel dispatch.
#include "calibration/gain_step.h"

#include <vector>

#include "calibration/gain_curves.h"
#include "frame/parallel_rows.h"

namespace kordex {
namespace {

template <typename Curve>
void GainPass(const StepContext& ctx, const GainPointSet& set)
{
    const int w = ctx.width, first = ctx.FirstInnerColumn(), last = ctx.LastInnerColumn();
    const std::int64_t sat = ctx.settings->calSatValue;
    ParallelRows(ctx.threads, ctx.FirstInnerRow(), ctx.LastInnerRow(), [&](const RowBand& band) {
        const std::int16_t* rows[kMaxGainPoints];
        const GainCurveInput in{rows, set.levels.data(), set.count};
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const std::ptrdiff_t rowStart = static_cast<std::ptrdiff_t>(y) * w;
            for (int i = 0; i < set.count; ++i) rows[i] = set.frames[static_cast<std::size_t>(i)].get() + rowStart;
            std::int16_t* row = ctx.frame + rowStart;
            for (int x = first; x <= last; ++x) {
                const std::int32_t v = row[x];
                std::int64_t g = v >= sat ? sat : Curve::At(in, x, v);
                if (g > sat) g = sat;
                row[x] = static_cast<std::int16_t>(g > 32767 ? 32767 : (g < -32768 ? -32768 : g));
            }
            if (Aborted(ctx)) return;
        }
    });
}

}  // namespace

void ApplyGain(const StepContext& ctx, const GainPointSet& set)
{
    if (set.count <= 0) return;
    switch (set.function) {
    case GainFunction::SinglePoint: GainPass<GainSinglePointCurve>(ctx, set); break;
    case GainFunction::PiecewiseLinear: GainPass<GainPiecewiseLinearCurve>(ctx, set); break;
    case GainFunction::Lagrange: GainPass<GainLagrangeCurve>(ctx, set); break;
    }
}

StageResult RunGainStep(const StepContext& ctx)
{
    GainPointSet set;
    std::string message;
    const int loaded = LoadGainPoints(ctx, &set, &message);
    if (loaded < 0) {
        Report(ctx, KX_REPORT_ERROR, message);
        StoreWord(ctx.abortWord, -1);
        return kStageFailed;
    }
    if (loaded == 0) {
        Report(ctx, KX_REPORT_INFO, message);
        return kStageSkipped;
    }
    Report(ctx, KX_REPORT_TIMED, "GainCal start");
    ApplyGain(ctx, set);
    if (Aborted(ctx)) return kStageFailed;
    Report(ctx, KX_REPORT_TIMED, "GainCal done");
    return kStageDone;
}

}  // namespace kordex
