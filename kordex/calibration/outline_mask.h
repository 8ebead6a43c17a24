// The outline of sensors whose two bottom corners are cut off (Descramble 3):
// a frame-sized mask with 1 on the pixels outside the sensitive area, and the
// two ways of filling those pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/frame_geometry.h"

namespace kordex {

inline constexpr int kOutlineDescramble = 3;

// The mask of a width x height frame (raw sensor orientation): for column
// i = 0..width/2 the bottom j+1 rows of the column and of its mirror column
// width-1-i are marked, with j = cutOff - i raised to the rounded-corner curve
// of cutOffR (see the .cpp). A j reaching the frame height marks the whole
// column and never more.
std::vector<std::int16_t> BuildOutlineMask(int width, int height, int cutOff, int cutOffR);

// Frame form: every outline pixel (mask 1) of the width x height frame
// becomes value. threads: NumParallelThreads.
void FillOutline(std::int16_t* frame, const std::int16_t* mask, int width, int height, std::int16_t value,
                 int threads);

// The mask cut and rotated like a frame into the delivered image
// (cutWidth x cutHeight of g).
std::vector<std::int16_t> CutOutlineMask(const FrameGeometry& g, const std::vector<std::int16_t>& mask);

// Image form on a width x height image with its cut mask. A value of -32766
// or more is written into every outline pixel; a lower value asks for the
// smooth fill: the row's edge runs of outline pixels take the nearest inner
// pixel's value in a copy, the copy is smoothed with the box mean of radius
// min(width, height) / 20 along rows and then columns, and every outline
// pixel takes the smoothed value. threads: NumParallelThreads.
void FillOutlineImage(std::int16_t* image, const std::int16_t* imageMask, int width, int height, int value,
                      int threads);

}  // namespace kordex
