// Inversion and grey window: the image becomes max - v, normalised to 0..1,
// and a window found in its histogram is stretched over 0..1.
#pragma once

#include "calpost/image.h"

namespace calpost {

struct GreyWindow {
    double lo = 0.0;  // values at or below become 0
    double hi = 1.0;  // values at or above become 1
};

// The window of a 0..1 image: lo = i/511 for the first of 512 smoothed
// histogram bins (from 1 upward) reaching low, hi = i/511 for the last (from
// 511 down to 1) reaching high, over every 8th value. A side no bin reaches
// keeps the whole range on that side (lo 0, hi 1).
GreyWindow FindGreyWindow(const Image& image, double low, double high);

// Inverts, normalises and windows image in place.
void InvertAndWindow(Image& image, double low, double high);

}  // namespace calpost
