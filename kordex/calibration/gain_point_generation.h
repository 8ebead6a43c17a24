// Generating the gain calibration points from the recorded bright frames.
//
// The bright frames "x??????.raw" are taken in name order, which is the order
// of their levels. Frames whose level is 0 or not a number are skipped. A
// group starts at a frame and takes the following frames as long as each
// level is a number and exceeds the one before by at most AveBrightTolerance;
// so 8000, 8200, 8500 and 12000 with tolerance 350 make two groups. Each
// group's readable frames are averaged (frame_average.h) into the point
// "A%2.2d_%5.5d.raw" with the group's index k (from 0) and the level
// (TrimmedMode of the whole averaged frame), logged as "Create %s from %d
// frames". A group without a readable frame writes nothing and logs the line
// with an empty name and 0.
#pragma once

#include <string>
#include <vector>

#include "calibration/calibration_set_context.h"

namespace kordex {

struct GeneratedPoint {
    std::string name;  // the point file written; empty when none
    int frames = 0;    // the frames averaged into it
    int level = 0;
};

// The bright frames of dir in name order.
std::vector<std::string> BrightFrameList(const std::string& dir);
// The gain points of dir in name order.
std::vector<std::string> GainPointList(const std::string& dir);

// Groups the names (in list order) by the rule above: each group is the
// indices of its names.
std::vector<std::vector<std::size_t>> GroupBrightFrames(const std::vector<std::string>& names, int tolerance);

// Writes the points of ctx.calibrationDir's bright frames with the tolerance
// (AveBrightTolerance). Existing points are not touched (the caller decides
// whether generation is allowed: the service page offers it only while there
// are bright frames and no points). Returns one entry per group; a failed
// write is logged in the file's own words and leaves that entry's name
// empty. *failed (when given) tells whether any write failed.
std::vector<GeneratedPoint> GenerateGainPoints(const CalibrationSetContext& ctx, int tolerance, bool* failed = nullptr);

}  // namespace kordex
