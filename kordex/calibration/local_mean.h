// LocalMean: the smooth local level of a frame, the reference of the
// bright-frame test of the automatic bad-pixel map.
//
// The buffer starts from the frame's inner region: outline pixels (sensors
// with cut corners) take the region's trimmed mode, every other pixel the
// frame value at the nearest inner-region position (row and column clamped
// into the region). It is then box-averaged with BoxMean1D of radius r along
// every row and then along every column, each pass writing back before the
// next. A pixel that is 0 after the outline fill takes the nearest inner
// value as well, so with a trimmed mode of 0 the outline is filled like the
// margins.
#pragma once

#include <cstdint>
#include <vector>

namespace kordex {

struct InnerRegion {
    int left = 0, top = 0, right = 0, bottom = 0;  // the raw margins
};

// frame: width x height, only read. outlineMask: width x height with 1 on
// outline pixels, or null (no outline). radius >= 0. threads:
// NumParallelThreads. Returns the width x height mean (the caller owns it).
std::vector<std::int16_t> LocalMean(const std::int16_t* frame, int width, int height, const InnerRegion& region,
                                    const std::int16_t* outlineMask, int radius, int threads);

}  // namespace kordex
