// Saturation replacement: the last step of the chain (not counted for progress) caps bright
// pixels of the inner region at a replacement value, either Cal_RepValue or,
// with Cal_RepValue -1, a value found from the frame's histogram just below
// the saturation value Cal_SatValue.
#pragma once

#include <cstdint>

#include "calibration/calibration_step.h"
#include "frame/stage_result.h"

namespace kordex {

// Returns kStageDone clipped, kStageSkipped nothing to do (automatic value with no pixel at or
// above Cal_SatValue), -1 aborted. The driver calls it only when Cal_RepValue
// differs from Cal_SatValue.
StageResult RunReplacementStep(const StepContext& ctx);

// The automatic replacement value of a frame (count pixels), or false when
// no pixel reaches satValue. histogram is scratch of 65536 counters.
bool AutomaticReplacementValue(const std::int16_t* frame, std::int64_t count, int satValue,
                               std::int32_t* histogram, int* value);

}  // namespace kordex
