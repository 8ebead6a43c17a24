// Smoothing at half resolution: the even rows and columns are smoothed with
// the five-tap kernel and the pixels between them are interpolated.
#pragma once

#include "calpost/image.h"

namespace calpost {

// out = in with every even-row, even-column pixel replaced by the K5
// smoothing (rows, then columns) of the grid of those pixels; then each odd
// column of every row becomes the mean of its left and right neighbours, and
// each odd row the mean of the rows above and below. A last odd column or row
// without a neighbour beyond it keeps the value it has at that point (the
// input's, or for the last odd row its column means). in and out must differ.
void HalfResolutionSmooth(const Image& in, Image& out);

}  // namespace calpost
