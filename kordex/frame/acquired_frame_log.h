// Logged acquired frames: copies of the frames the sensor delivered, kept in
// the home directory's Log folder when an acquisition closes without error.
//
// count > 0 keeps a rotating set "$D00.raw" .. "$D<count>.raw" (letter "B" for
// bright frames), "$D00.raw" the newest. count < 0 writes one time-stamped
// file per frame, "$<dd>D-<hh>_<mm>_<ss>.raw", and never deletes any.
// count 0 logs nothing; a count above 99 is taken as 99 with a "WRN: " line
// (the names have two digits, and each close moves every generation).
// downScale above 1 keeps every downScale-th pixel of every downScale-th line.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "frame/log.h"

namespace kordex {

inline constexpr int kMaxLoggedFrames = 99;

// The frame as it is logged: a copy, or every step-th pixel of every step-th
// line ((width / step) x (height / step) pixels). *outWidth/*outHeight
// receive the logged size.
std::vector<std::int16_t> DownScaleFrame(const std::int16_t* frame, int width, int height, int step,
                                         int* outWidth, int* outHeight);

// Writes the frame by the rules above into homePath's Log folder. Returns the
// path written, or "" when nothing was written (count 0 or an error, which is
// reported through log).
std::string LogAcquiredFrame(Log& log, const std::string& homePath, const std::int16_t* frame,
                             int width, int height, bool bright, int count, int downScale,
                             const std::tm& now);

}  // namespace kordex
