// The two-segment tone curve through (0, 0), (x, y) and (1, 1), applied by a
// 4096-entry table.
#pragma once

#include <vector>

#include "calpost/image.h"

namespace calpost {

// T[j] = (y/x) j/4095 for j < trunc(4095 x), else (1-y)/(1-x) (j/4095 - 1) + 1.
// x must not be 0. At x == 1 the upper segment is the single point (1, 1).
std::vector<double> ToneTable(double x, double y);

// Every value v (0..1) becomes T[trunc(4095 v)]; x == 0 leaves the image as
// it is.
void ApplyToneCurve(Image& image, double x, double y);

}  // namespace calpost
