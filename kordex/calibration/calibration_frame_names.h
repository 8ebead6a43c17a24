// The names of the frames of a calibration set, all in the calibration
// directory: "dark.raw", the recorded bright frames "x%5.5d%c.raw" (level
// and a letter) and the gain points "A%2.2d_%5.5d.raw" (index and level).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kordex {

inline constexpr const char* kDarkFrameFile = "dark.raw";
inline constexpr const char* kBrightFrameMask = "x??????.raw";

// The level field of a calibration frame name: the five characters from
// start read as a decimal number made of their leading digits ("00000" is
// 0, "12x45" is 12). Parsing stops at the first non-digit, so a sign or a
// blank is no number: -1 when the field does not begin with a digit or the
// name is too short to hold it.
int LevelOfNameField(std::string_view fileName, std::size_t start);

// The level of a bright frame name "x%5.5d%c.raw": the field after "x".
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
