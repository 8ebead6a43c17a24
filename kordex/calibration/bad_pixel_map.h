// The bad-pixel step of the calibration chain: the automatic map "BPM.raw"
// and the manual map "BPMM.raw" of the calibration directory are merged and
// every flagged pixel is corrected (bad_pixel_correction.h).
#pragma once

#include "calibration/calibration_step.h"
#include "frame/stage_result.h"

namespace kordex {

inline constexpr const char* kAutomaticMapFile = "BPM.raw";
inline constexpr const char* kManualMapFile = "BPMM.raw";

// Returns kStageDone corrected, kStageSkipped omitted (no map) or stopped at the error limit (the
// abort word is set back to 0 so the chain goes on), -1 a map cannot be read
// (messages 211, 212) or the job was aborted.
StageResult RunBadPixelStep(const StepContext& ctx);

}  // namespace kordex
