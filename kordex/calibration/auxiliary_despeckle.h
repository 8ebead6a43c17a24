// The auxiliary despeckle of the bad-pixel correction ("Auxiliary DeSpeckle
// within BPM"): good pixels of the combined map that stand out from their
// good neighbours by more than the [DeSpeckle] thresholds get code 254.
#pragma once

#include <cstdint>

#include "calibration/calibration_step.h"

namespace kordex {

inline constexpr std::int16_t kCodeAuxDespeckle = 254;

// Runs on one thread, in row order: a pixel's test reads the marks this pass
// made in the row above and to its left, so the marks come out the same
// however the frame's correction is split into bands.
// Examines rows r0..r1 of ctx.frame (limited to 1..height-2 and to the inner
// columns without the frame's edge columns) against the combined map, which
// it marks. Returns the count of flagged pixels, 0 at once when BPM_Enable is
// 0, -1 when the job's abort word was set after a row.
int AuxiliaryDespeckle(const StepContext& ctx, std::int16_t* map, int r0, int r1);

}  // namespace kordex
