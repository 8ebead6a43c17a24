// CorrectBadPixels: every flagged pixel of the frame's inner region is
// replaced from its good neighbours.
//
// Map codes (16-bit, signed): 0 good; 1 outline (never corrected, never a
// neighbour); above 1 a pixel to correct (127, 128, 255 from the map
// generation, 254 auxiliary despeckle, 253 standalone despeckle; the manual
// map may hold any non-zero code).
#pragma once

#include <cstdint>

#include "calibration/calibration_step.h"

namespace kordex {

// Corrects ctx.frame in place. autoMap and manualMap are frame-sized maps, each
// may be null, and both may be changed (the combined map is built in the
// automatic map, or in the manual map when there is no automatic one, unless
// ctx.outlineMask is set, which gives a new combined map: 1 on outline pixels,
// the automatic code elsewhere). The manual codes are OR-ed into the combined
// map except on outline pixels. allowAux runs AuxiliaryDespeckle (which does
// nothing unless BPM_Enable is set).
//
// Pair rule (rows 1..height-2, columns 1..width-2): of the opposite pairs
// left/right, up/down, up-left/down-right, up-right/down-left whose two pixels
// are good, the one with the smallest difference (the earlier on a tie) gives
// (a + b) / 2. Otherwise the ring rule: rings 1..3, eight positions each in
// the order up, down, left, right, up-left, down-right, up-right, down-left;
// the first eight good pixels give sum / 8. A pixel with fewer than eight good
// ring pixels keeps its value and counts as an error of its band; errors
// 1, 1001, 2001, ... are reported, and at width * height / 4 errors the band
// sets the job's abort word to -1 and reports where it stopped.
void CorrectBadPixels(const StepContext& ctx, std::int16_t* autoMap, std::int16_t* manualMap, bool allowAux);

}  // namespace kordex
