// The final stage of every standard run: border brush-up, histogram
// equalisation, and the mapping into FinC_Min..FinC_Max (from the estimated
// segmentation's class image when there is one, else a histogram cut and a
// rescale), with the two marker pixels that put the full output range into
// every finished image.
#pragma once

#include "frame/stage_result.h"
#include "processing/histogram.h"
#include "processing/stage_context.h"

namespace kordex {

// Border brush-up of radius r (r < 1, or 2r at or above the width or height:
// nothing). Returns kStageDone when done, else kStageSkipped.
StageResult BorderBrushUp(const StageContext& ctx, int r);

// Histogram equalisation with strength t of the interval lowerPercent ..
// upperPercent of the value range (10..90 in the final stage, 0..99 in the
// internal auxiliary chain). Returns 1 done, 0 nothing (t <= 0, or no quota
// completed), -1 fewer than 20 levels, -2 the interval spans fewer than 20
// levels, -3 too few pixels in the interval.
int HistogramEqualisation(const StageContext& ctx, int t, double lowerPercent = 10.0, double upperPercent = 90.0);

// The segmentation contrast range from ctx.params->classImage (which it
// frees). Returns false when it fails (too few dark pixels, or high == low).
bool SegmentationContrastRange(const StageContext& ctx, int* low, int* high);

// The whole stage. Returns kStageDone (it never fails the run).
StageResult FinalContrast(const StageContext& ctx);

}  // namespace kordex
