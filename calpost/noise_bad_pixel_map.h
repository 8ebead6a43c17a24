// Bad-pixel map by the distance of each pixel from its local median,
// relative to the local mean absolute deviation.
#pragma once

#include <cstdint>
#include <vector>

#include "calpost/image.h"
#include "calpost/ratio_threshold.h"

namespace calpost {

// The Gaussian kernel of 4 trunc(sigma) + 5 taps, weights
// e^(-((i - s/2) / sigma)^2 / 2) normalised to sum 1. sigma must be above 0.
std::vector<double> GaussianTaps(double sigma);

// The rescaled ratio R (0..1999) of every pixel: |v - median| of its n x n
// window over the Gaussian-blurred |image - blurred image|; 0 on the border
// of width n/2 and wherever the window does not fit.
Image MedianDistanceRatio(const Image& image, int n, double sigma);

// Writes the map of image (width x height pixels of map): 255 where R >= f
// and R > 0, else 0.
void NoiseBadPixelMap(const Image& image, int n, double percentage, double sigma, std::uint8_t* map);

}  // namespace calpost
