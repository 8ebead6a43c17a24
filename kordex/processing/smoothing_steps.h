// The smoothing steps of the unsharp-mask stage (a step whose R1 is
// negative; Rad = -R1, Tag = R2): directional smoothing by iso-lines (Tag 0)
// or by diameters (Tag 1), weighted smoothing (Tag negative, threshold -Tag),
// and the intraoral intrinsic sharpening (Tag 2 and above).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "frame/stage_result.h"
#include "processing/difference_control.h"
#include "processing/stage_context.h"

namespace kordex {

// Largest offsets per sector (directional smoothing) and per disc (weighted
// smoothing); a radius that needs more fails the step and sets the run's
// abort state to -1 (so the stage reports message 302).
inline constexpr int kMaxSectorOffsets = 127;
inline constexpr int kMaxDiscOffsets = 1023;

// An offset of a disc around a pixel.
struct DiscOffset {
    int dx, dy;
};

// The offsets (x, y) != (0, 0) with x^2 + y^2 <= rad^2, by sector of 45
// degrees: sector trunc((atan2(y, x) + pi/8 + pi) / (pi/4)) mod 8, so
// sectors t and t + 4 face each other across the pixel. In row order.
std::array<std::vector<DiscOffset>, 8> DiscSectors(int rad);

struct SmoothingControl {
    std::int64_t weight = 0;                // W' = W * 1024 / 100
    const std::int16_t* density = nullptr;  // the density image, or null without difference control
    const WeightCurve* positive = nullptr;  // the step's positive-difference curve, or null
};

// Each returns kStageDone, kStageFailed (the image unchanged unless the abort
// state was set meanwhile).
StageResult DirectionalSmoothing(const StageContext& ctx, int rad, int tag, const SmoothingControl& control);
StageResult WeightedSmoothing(const StageContext& ctx, int rad, int tag, const SmoothingControl& control);
StageResult IntrinsicSharpening(const StageContext& ctx, int rad, const UsmStep& step);

}  // namespace kordex
