// Generating the gain calibration points from the recorded bright frames.
//
// The bright frames "x??????.raw" are taken in name order, which is the order
// of their levels. Frames whose level is 0 or not a number are skipped. A
// group starts at a frame and takes the following frames as long as each
// level is a number and exceeds the one before by at most AveBrightTolerance;
// so 8000, 8200, 8500 and 12000 with tolerance 350 make two groups. Each
// group's readable frames are averaged (frame_average.h) into the point
// "A%2.2d_%5.5d.raw" with the group's index k (from 0) and the level
// (TrimmedMode of the whole averaged frame).
//
// The new points replace the directory's gain points as one set. Every
// calibration after a generation reads the whole set, so a half-made set
// must never be visible, and a failed generation must not leave the sensor
// without gain points: the points are written under temporary names
// ("$A%2.2d_%5.5d.raw", which the point mask does not match) and renamed
// into place only when all of them are written; the gain points that are not
// part of the new set are deleted only after that. A failed run deletes its
// temporary files and leaves the old set as it was (only a rename that fails
// half-way, which a writable directory practically never does, leaves a
// mixed set; it is reported like any other failure).
//
// Log (plain lines, in group order): "Create %s from %d frames" per point
// once the set is in place. A group without a readable frame writes nothing
// and logs "WRN: No gain point from %s: no readable frame" with its frames'
// names instead, so the creation line never shows an empty name. A failure
// is one error line (the file's own words, or kNoGainPointText when no group
// had a readable frame).
#pragma once

#include <string>
#include <vector>

#include "calibration/calibration_set_context.h"

namespace kordex {

inline constexpr const char* kCreatePointFormat = "Create %s from %d frames";        // name, frames
inline constexpr const char* kNoPointFromFormat = "WRN: No gain point from %s: no readable frame";  // sources
inline constexpr const char* kNoGainPointText = "No gain point: no bright frame is readable";

struct GeneratedPoint {
    std::string name;     // the point file written; empty when none
    int frames = 0;       // the frames averaged into it
    int level = 0;
    std::string sources;  // the group's frame names: "x08000A.raw" or "x08000A.raw..x08500A.raw"
};

struct GainPointGeneration {
    // One entry per group, in order; a name is set only for a point file
    // that was put in place (so none after a failure of the writes).
    std::vector<GeneratedPoint> points;
    bool ok = false;    // at least one point written and the set in place
    std::string error;  // the failure's text (as logged, without "ERR: ")
};

// The bright frames of dir in name order.
std::vector<std::string> BrightFrameList(const std::string& dir);
// The gain points of dir in name order.
std::vector<std::string> GainPointList(const std::string& dir);

// Groups the names (in list order) by the rule above: each group is the
// indices of its names.
std::vector<std::vector<std::size_t>> GroupBrightFrames(const std::vector<std::string>& names, int tolerance);

// Makes the gain points of ctx.calibrationDir's bright frames with the
// tolerance (AveBrightTolerance) and puts them in place of the directory's
// gain points, as described above. The caller decides whether a generation
// is allowed at all (the service page offers it only while there are bright
// frames and no points; kordex-cal asks for --replace when points exist).
// Leftover temporary point files of an earlier run are deleted first.
GainPointGeneration GenerateGainPoints(const CalibrationSetContext& ctx, int tolerance);

}  // namespace kordex
