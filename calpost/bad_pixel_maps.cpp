// Bad-pixel maps from the calibration frames.
//
// The difference histogram has 65535 unit bins; a difference of 65535 or
// more (possible with doubles) counts in the last bin instead of writing
// past the histogram, and a NaN difference counts as 0 like a negative one.
// Bin 0 is never a limit (the search starts at bin 1 on both sides), so a
// frame where no bin reaches a level has no limit on that side and marks no
// pixel for it -- an undefined limit must not mark the whole frame.
#include "calpost/bad_pixel_maps.h"

#include <vector>

#include "calpost/histogram_smoothing.h"
#include "calpost/range_scan.h"

namespace calpost {
namespace {

constexpr int kDifferenceBins = 65535;

inline double Difference(const double* dark, const double* bright, std::size_t i)
{
    const double d = bright[i] - dark[i];
    return d >= 0.0 ? d : 0.0;
}

}  // namespace

void ThresholdBadPixelMap(const double* dark, const double* bright, std::size_t count, double low,
                          double high, std::uint8_t* map)
{
    const double darkMax = ScanRange(dark, count).max;
    const double brightMax = ScanRange(bright, count).max;
    const double darkHigh = high * darkMax;
    const double brightHigh = high * brightMax;
    const double brightLow = low * brightMax;
    for (std::size_t i = 0; i < count; ++i)
        map[i] = (dark[i] > darkHigh || bright[i] > brightHigh || bright[i] < brightLow) ? 1 : 0;
}

DifferenceLimits FindDifferenceLimits(const double* dark, const double* bright, std::size_t count,
                                      double lowLevel, double highLevel)
{
    std::vector<double> histogram(kDifferenceBins, 0.0);
    for (std::size_t i = 0; i < count; i += 16) {
        const double d = Difference(dark, bright, i);
        const int bin = d >= kDifferenceBins - 1 ? kDifferenceBins - 1 : static_cast<int>(d);
        histogram[static_cast<std::size_t>(bin)] += 1.0;
    }
    const std::vector<double> smooth = SmoothHistogram(histogram);

    DifferenceLimits limits;
    for (int j = 1; j < kDifferenceBins; ++j) {
        if (smooth[static_cast<std::size_t>(j)] >= lowLevel) {
            limits.hasLow = true;
            limits.low = j;
            break;
        }
    }
    for (int j = kDifferenceBins - 1; j >= 1; --j) {
        if (smooth[static_cast<std::size_t>(j)] >= highLevel) {
            limits.hasHigh = true;
            limits.high = j;
            break;
        }
    }
    return limits;
}

void DifferenceBadPixelMap(const double* dark, const double* bright, std::size_t count,
                           double lowLevel, double highLevel, std::uint8_t* map)
{
    const DifferenceLimits limits = FindDifferenceLimits(dark, bright, count, lowLevel, highLevel);
    const double below = 0.9 * limits.low;
    const double above = 1.1 * limits.high;
    for (std::size_t i = 0; i < count; ++i) {
        const double d = Difference(dark, bright, i);
        const bool tooDark = limits.hasLow && d < below;
        const bool tooBright = limits.hasHigh && d > above;
        map[i] = (tooDark || tooBright) ? 1 : 0;
    }
}

}  // namespace calpost
