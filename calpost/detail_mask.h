// The detail mask: pixels whose high-pass magnitude stands out from the
// image's noise.
#pragma once

#include <cstdint>
#include <vector>

#include "calpost/image.h"

namespace calpost {

struct DetailMask {
    std::vector<std::uint8_t> mask;  // 1 = detail or outlier candidate
    Image highPass;                  // a = |image - half-resolution smoothing|
};

// Fills detail for image with factor k: mask = 1 where a > mu + k sigma, with
// mu and sigma over every 4th element of a, both divided by N/4 (N the pixel
// count; at least 1 for images of fewer than 4 pixels).
void MakeDetailMask(const Image& image, double k, DetailMask& detail);

}  // namespace calpost
