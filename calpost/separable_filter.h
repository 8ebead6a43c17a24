// Separable convolution of an image with one symmetric kernel, first along
// the rows and then along the columns, the lines mirrored at their ends.
#pragma once

#include <vector>

#include "calpost/image.h"

namespace calpost {

// The five-tap kernel of the smoothing and the pyramid.
inline constexpr double kK5[5] = {0.05, 0.25, 0.4, 0.25, 0.05};

// dst[x] = sum of weights[i] * rows[i][x] over count rows, for x in
// 0..width, added in row order. Up to five rows run as one fused loop (one
// pass over dst); further rows are added one by one. count must be >= 1.
void WeightedRowSum(double* dst, const double* const* rows, const double* weights, int count, int width);

// out = in convolved with taps (an odd count; the middle tap is the centre)
// along rows, then along columns. out is resized to in's size; in and out
// must be different images.
void FilterRowsColumns(const Image& in, const std::vector<double>& taps, Image& out);

}  // namespace calpost
