// Noise-relative median replacement: masked pixels far from their window
// median, measured against the local high-pass level, take the median.
#pragma once

#include "calpost/detail_mask.h"
#include "calpost/image.h"

namespace calpost {

// Replaces pixels of image as described above, with window n and percentage
// q, using detail's mask and high-pass magnitude.
// n below 2 does nothing; n is limited to the image's smaller side.
void NoiseRelativeReplace(Image& image, const DetailMask& detail, int n, double q);

}  // namespace calpost
