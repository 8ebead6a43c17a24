// The threshold of a rescaled ratio image: the bin above which lie the given
// per cent of its pixels.
#pragma once

#include "calpost/image.h"

namespace calpost {

// Ratios are rescaled to 0..kRatioMax and counted in kRatioMax + 1 unit bins.
inline constexpr int kRatioMax = 1999;

// The first bin f of the cumulative histogram of trunc(R) (2000 bins) whose
// count reaches (1 - percentage / 100) of ratio's pixels; 0 when none does
// (only possible for a negative percentage).
int RatioThresholdBin(const Image& ratio, double percentage);

}  // namespace calpost
