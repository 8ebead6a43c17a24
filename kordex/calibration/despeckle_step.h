// The standalone despeckle of the calibration chain: pixels that stand out
// from the neighbouring columns or rows (short line defects one or two pixels
// wide) are flagged in a temporary map (code 253) and corrected by the
// bad-pixel correction.
#pragma once

#include <cstdint>

#include "calibration/calibration_step.h"
#include "frame/stage_result.h"

namespace kordex {

inline constexpr std::int16_t kCodeLineSpeckle = 253;

// Flags rows r0..r1 (limited to 2..height-3; columns max(left, 2) ..
// min(width-3, width-right-1)) of ctx.frame into map. LnDet_Type 0 tests
// columns and rows, 1 rows only, 2 columns only; threshold LnDet_Threshold.
// Returns the count flagged. The frame is only read.
int DetectLineSpeckles(const StepContext& ctx, std::int16_t* map, int r0, int r1);

// Detection over the inner rows, the dump "4_desTempBPM", then the
// correction. Returns kStageDone, kStageSkipped aborted (never negative). A correction that
// stops at its error limit leaves the chain going: the abort word is set back
// to 0 and the step returns 0.
StageResult RunDespeckleStep(const StepContext& ctx);

}  // namespace kordex
