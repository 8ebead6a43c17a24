// Scaling of the 8-bit image for the "keeps black" and "keeps white" draw
// modes.
//
// Every destination pixel covers a block of source pixels: destination
// column x covers source columns sl + x * sw / dw up to (but excluding)
// sl + (x + 1) * sw / dw, and at least one column; rows likewise. "Keeps
// black" takes the smallest level of the block, "keeps white" the largest, so
// a one-pixel dark (or bright) line survives any reduction. When the image is
// enlarged, each block is a single source pixel (nearest neighbour). The
// reduction runs separably, rows first (a vectorised element-wise min or max
// of whole source rows into one scratch row per destination row), then the
// columns of that row; destination rows run in row bands. Palette entries are ordered by brightness for the grey levels;
// the mask colours 254/255 sit above them, so "keeps white" also keeps mask
// pixels visible.
#pragma once

#include <cstdint>
#include <vector>

#include "grayscope/view/geometry.h"

namespace grayscope {

enum class Reduction { KeepDark, KeepBright };

// levels: the image's 8-bit buffer, rows bottom-up with PaddedRowBytes(width)
// bytes each (as MapGrey makes it). source: the image rectangle to draw (top-
// down image coordinates, inside the image). out: resized to
// PaddedRowBytes(dw) * dh, written top row first (ready for an indexed
// image). scratch: reused between calls.
void ReduceMinMax(const std::uint8_t* levels, int width, int height, const Rect& source, int dw, int dh,
                  Reduction mode, std::vector<std::uint8_t>* out, std::vector<std::uint8_t>* scratch);

}  // namespace grayscope
