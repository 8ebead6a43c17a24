// The grey-scale remap stage: its sub-steps in their fixed order, their log
// lines and dumps. Only the curve can fail the run; every other sub-step that
// cannot act is skipped with its log line.
//
// The segmentation check runs whether or not the segmentation ran, so a run
// without one logs "WRN: Wrong estimated segmentation" (its estimates are
// still zero). A segmentation that failed (an abort while smoothing) is a
// log line "ERR: Estimated segmentation failed", not a failed run.
#include "processing/grey_remap.h"

#include <cmath>

#include "platform/text.h"
#include "processing/histogram.h"

namespace kordex {

StageResult GreyRemap(const StageContext& ctx)
{
    IpParams& p = *ctx.params;
    if (p.iInvEnable != 0) {
        InvertImage(ctx);
        ctx.Dump("2crv0inv", ctx.image);
    } else {
        if (ApplyThreePointCurve(ctx) < 0) return kStageFailed;
        ctx.Dump("2crv0_3P", ctx.image);
    }
    if (ctx.Aborted()) return kStageSkipped;
    if (AnisotropicSmoothing(ctx, p.iInvAniSmooth) > 0) ctx.Dump("2crv1anysm", ctx.image);
    if (ctx.Aborted()) return kStageSkipped;
    int mn = 0, mx = 0, lo = 0, hi = 0;
    if (HistogramCut(ctx, p.iInvCutDark, p.iInvCutBright, true, &mn, &mx, &lo, &hi) > 0) {
        ctx.Stage(platform::Format("Cut histogram %d..%d=>%d..%d", mn, mx, lo, hi));
        ctx.Dump("2crv2cuthist", ctx.image);
    }
    if (ctx.Aborted()) return kStageSkipped;
    std::string shiftText;
    const int shifted = MedianShift(ctx, p.medianShiftFactor, &shiftText);
    if (!shiftText.empty()) ctx.Stage(shiftText);
    if (shifted > 0) ctx.Dump("2crv3shifthist", ctx.image);
    if (ctx.Aborted()) return kStageSkipped;
    if (RescaleImage(ctx, p.iInvMin, p.iInvMax, &mn, &mx) > 0) {
        ctx.Stage(platform::Format("Rescale data %d..%d=>%d..%d", mn, mx, p.iInvMin, p.iInvMax));
        ctx.Dump("2crv4rescale", ctx.image);
    }
    if (ctx.Aborted()) return kStageSkipped;
    Segmentation seg;
    if (p.segmentCoeff >= 0.001f) {
        seg = EstimateSegmentation(ctx, p.segmentCoeff);
        if (seg.status > 0) {
            p.estAir = seg.air;
            p.estWater = seg.water;
            p.estBone = seg.bone;
        }
    }
    if (!(p.estAir < p.estWater && p.estWater < p.estBone)) {
        ctx.Log("WRN: Wrong estimated segmentation");
    } else if (seg.status < 0) {
        ctx.Log("ERR: Estimated segmentation failed");
    } else if (seg.status > 0) {
        p.c3oAir = p.estAir;
        p.c3oWat = p.estWater;
        p.c3oBon = p.estBone;
        ctx.Stage(platform::Format("Est.seg: a=%d w=%d b=%d", p.estAir, p.estWater, p.estBone));
    }
    if (ctx.Aborted()) return kStageSkipped;
    ctx.Stage("Re-map done");
    return kStageDone;
}

}  // namespace kordex
