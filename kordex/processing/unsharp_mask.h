// The unsharp-mask stage: up to 20 steps applied in place one after the
// other -- unsharp steps (the difference of two box-smoothed copies, weighted
// and added back) and smoothing steps (sector, line, weighted smoothing and
// the intraoral intrinsic sharpening) -- with optional difference control.
#pragma once

#include <functional>

#include "frame/stage_result.h"
#include "processing/stage_context.h"

namespace kordex {

// Runs the steps of ctx.params. stagesBefore: the run's stages before this
// one (for the progress); progress(p) is called after every step with the
// run's new progress. Returns kStageDone, kStageFailed after an abort with error (message
// 302 reported), 0 after a plain abort.
StageResult UnsharpMask(const StageContext& ctx, int stagesBefore, const std::function<void(int progress)>& progress);

// True when difference control is on for the steps 0..count-1.
bool DifferenceControlOn(const IpParams& p);

}  // namespace kordex
