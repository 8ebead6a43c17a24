// Smoothing of a histogram before its levels are searched.
#pragma once

#include <vector>

namespace calpost {

// Convolves histogram with the five taps e^(-0.001 (i-2)^2), i = 0..4,
// normalised to sum 1, repeating the end bins beyond the ends, then divides
// it by its peak so the levels searched afterwards are fractions of the peak.
// An empty histogram (peak 0) stays all zeros.
std::vector<double> SmoothHistogram(const std::vector<double>& histogram);

}  // namespace calpost
