// The grey-scale remap stage and its sub-steps: inversion or three-point
// curve, anisotropic smoothing, histogram cut, median shift, rescale and the
// estimated segmentation, in that order, each with its "2crv..." dump.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/stage_result.h"
#include "processing/stage_context.h"

namespace kordex {

// The curve of three input points (air > bone) onto the output levels.
struct ThreePointCurve {
    int base = 0;                // the input bone point
    std::vector<int> entries;    // input air - input bone + 1 outputs
    int outMin = 0;
    int outMax = 0;
    float slopeBelow = 0.0f;
    float slopeAbove = 0.0f;
    // The output of one input sample (slopes outside the table, limited to
    // outMin..outMax).
    int Map(int v) const;
};

// Builds the curve of p's outputs through (iA, iW, iB). Returns false when
// the curve cannot be built: gamma not a finite number, iA not above iB, or
// a table longer than kMaxCurveEntries.
inline constexpr std::int64_t kMaxCurveEntries = 1 << 20;
bool BuildThreePointCurve(const IpParams& p, int iA, int iW, int iB, ThreePointCurve& curve);

// Sub-steps, each on ctx.image. Results: > 0 done, 0 skipped, < 0 failed
// (only the curve fails the stage).
StageResult InvertImage(const StageContext& ctx);
StageResult ApplyThreePointCurve(const StageContext& ctx);  // -1: message 301 reported, abort state -1
StageResult AnisotropicSmoothing(const StageContext& ctx, int strength);
// Appends its log text to *text ("" when skipped); > 0 when samples moved.
StageResult MedianShift(const StageContext& ctx, int factor, std::string* text);

// The estimated segmentation's result.
struct Segmentation {
    int status = 0;  // 1 found, 0 nothing done
    int air = 0, water = 0, bone = 0;
};
Segmentation EstimateSegmentation(const StageContext& ctx, float coefficient);

// The whole stage: returns kStageDone, kStageSkipped aborted, kStageFailed (message 301).
StageResult GreyRemap(const StageContext& ctx);

}  // namespace kordex
