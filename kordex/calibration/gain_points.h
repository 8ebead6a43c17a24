// The calibration points of the gain step: the files "A??_?????.raw" of the
// calibration directory, each an offset-corrected bright frame taken at a
// uniform exposure whose target level is the five digits after "A??_".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "calibration/calibration_step.h"

namespace kordex {

inline constexpr int kMaxGainPoints = 32;
inline constexpr const char* kGainPointMask = "A??_?????.raw";

enum class GainFunction { SinglePoint, PiecewiseLinear, Lagrange };

struct GainPointSet {
    int count = 0;                             // 0..32
    std::vector<std::int32_t> levels;          // ascending, count entries
    std::vector<std::string> names;            // file names, same order
    std::vector<std::unique_ptr<std::int16_t[]>> frames;  // width x height each, same order
    GainFunction function = GainFunction::SinglePoint;  // chosen once per set
};

// The target level of a point file name "A%2.2d_%5.5d.raw": characters 5 to 9
// by the digits-only rule of LevelOfNameField ("A01_+2000.raw" and
// "A01_ 2000.raw" have level -1).
int GainLevelOfName(std::string_view fileName);

// The file names of the points in level order: at most 32 positive-level
// names taken in directory order (sorted without regard to case); a name goes
// before the first held name whose level is greater than or equal to its own,
// so of two equal levels the one found later sorts first.
void OrderGainPoints(const std::vector<std::string>& found, GainPointSet* set);

// Fills set from ctx.calibrationDir, reading every point frame. Returns 1
// loaded (message "GainCal start with %d points"), 0 none found (message
// "WRN: GainCal calibration omitted"), -1 a point file cannot be read (set
// emptied, message 202). The read failure itself is logged through ctx.log.
int LoadGainPoints(const StepContext& ctx, GainPointSet* set, std::string* message);

}  // namespace kordex
