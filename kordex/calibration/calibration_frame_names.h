// The names of the frames of a calibration set, all in the calibration
// directory: "dark.raw", the recorded bright frames "x%5.5d%c.raw" (level
// and a letter) and the gain points "A%2.2d_%5.5d.raw" (index and level).
#pragma once

#include <string>
#include <string_view>

namespace kordex {

inline constexpr const char* kDarkFrameFile = "dark.raw";
inline constexpr const char* kBrightFrameMask = "x??????.raw";

// The level of a bright frame name: the five characters after "x" read as a
// decimal number (their leading numeric part; "00000" is 0); -1 when they do
// not begin with a number.
int BrightFrameLevelOfName(std::string_view fileName);

// The first free name "x%5.5d%c.raw" for level in dir (ending in "/"), the
// letter running A, B, ... Z; a name is taken when a file of that name
// exists without regard to case. Empty when all 26 are taken (the letters
// stop at Z: after it come punctuation and, on a case-insensitive store,
// the taken lower-case letters).
std::string FreeBrightFrameName(const std::string& dir, int level);

// "A%2.2d_%5.5d.raw".
std::string GainPointName(int index, int level);

}  // namespace kordex
