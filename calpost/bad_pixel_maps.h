// Bad-pixel maps from a dark and a bright frame: by thresholds on the
// frames' maxima, and by the histogram of their difference.
#pragma once

#include <cstddef>
#include <cstdint>

namespace calpost {

// map[i] = 1 when dark[i] > high * Dmax, bright[i] > high * Bmax or
// bright[i] < low * Bmax (maxima from the range scan), else 0.
void ThresholdBadPixelMap(const double* dark, const double* bright, std::size_t count, double low,
                          double high, std::uint8_t* map);

// The limits of the difference histogram; a side without a limit marks
// nothing.
struct DifferenceLimits {
    bool hasLow = false;
    bool hasHigh = false;
    int low = 0;   // L: the first bin from 1 upward reaching the low level
    int high = 0;  // U: the last bin from 65534 down to 1 reaching the high level
};

// The limits found in the smoothed histogram of every 16th difference.
DifferenceLimits FindDifferenceLimits(const double* dark, const double* bright, std::size_t count,
                                      double lowLevel, double highLevel);

// map[i] = 1 when the difference (negatives as 0) lies below 0.9 L or above
// 1.1 U, else 0.
void DifferenceBadPixelMap(const double* dark, const double* bright, std::size_t count,
                           double lowLevel, double highLevel, std::uint8_t* map);

}  // namespace calpost
