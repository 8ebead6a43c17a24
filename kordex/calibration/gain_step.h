// Gain calibration: every pixel of the inner region is mapped through its own
// transfer curve, defined by the calibration points (gain_points.h) and
// evaluated by one of the curves of gain_curves.h, chosen once per step.
#pragma once

#include "calibration/calibration_step.h"
#include "calibration/gain_points.h"
#include "frame/stage_result.h"

namespace kordex {

// Loads the points and corrects ctx.frame. Returns kStageDone, kStageSkipped omitted (no
// points; a "WRN: " line), -1 a point file cannot be read (message 202; the
// job's abort word becomes -1) or the job was aborted.
StageResult RunGainStep(const StepContext& ctx);

// The correction pass alone over the inner region with a loaded set: a pixel
// at or above Cal_SatValue becomes Cal_SatValue; otherwise the curve's value,
// at most Cal_SatValue, limited to the 16-bit range (-32768..32767).
void ApplyGain(const StepContext& ctx, const GainPointSet& set);

}  // namespace kordex
