// Offset calibration: the dark frame "dark.raw" is subtracted from the raw
// frame (unless the detector already delivered a dark-corrected frame), the
// whole frame is optionally shifted up so that its darkest pixels are no
// longer negative, and it is clipped into 0..Cal_SatValue.
#pragma once

#include <cstdint>

#include "calibration/calibration_step.h"
#include "frame/stage_result.h"

namespace kordex {

// The offset step on ctx.frame. subtractDark false = hardware-dark (the
// subtraction is skipped; shift and clip still run). Returns kStageDone, kStageSkipped done
// without subtraction because "dark.raw" is missing, -1 the dark frame cannot
// be read or the job was aborted. Reports through ctx.report (code 20).
StageResult RunOffsetStep(const StepContext& ctx, bool subtractDark);

// The shift that lifts the darkest pixels of a frame (count pixels) to 0:
// walking up from the minimum until width / 10 pixels are passed, the value
// reached v gives the shift -v when that is positive, else 0. The missing-pixel
// marker -32768 is not a pixel and takes no part. histogram is scratch of
// 65536 counters.
int NegativePixelShift(const std::int16_t* frame, std::int64_t count, int width, std::int32_t* histogram);

}  // namespace kordex
