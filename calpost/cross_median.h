// Impulse removal with a cross-shaped median.
#pragma once

#include <cstdint>
#include <vector>

#include "calpost/image.h"

namespace calpost {

// Every pixel with mask 1 becomes the median of nine values: the five of its
// column in rows y-2..y+2 and the two on each side in its row. All medians
// read the image as it was before the call; the border is mirrored.
void CrossMedian(Image& image, const std::vector<std::uint8_t>& mask);

}  // namespace calpost
