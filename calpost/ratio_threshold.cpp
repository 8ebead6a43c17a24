// Ratio threshold. Bins are clamped to 0..1999 so a ratio rounded a hair
// outside the rescaled range (or NaN, counted in bin 0) cannot index past
// the histogram.
#include "calpost/ratio_threshold.h"

#include <cstddef>
#include <vector>

namespace calpost {

int RatioThresholdBin(const Image& ratio, double percentage)
{
    std::vector<double> histogram(kRatioMax + 1, 0.0);
    for (const double r : ratio.values) {
        int bin = r > 0.0 ? (r >= kRatioMax ? kRatioMax : static_cast<int>(r)) : 0;
        histogram[static_cast<std::size_t>(bin)] += 1.0;
    }
    const double needed = (1.0 - percentage * 0.01) * static_cast<double>(ratio.Count());
    double cumulative = 0.0;
    for (int bin = 0; bin <= kRatioMax; ++bin) {
        cumulative += histogram[static_cast<std::size_t>(bin)];
        if (cumulative >= needed) return bin;
    }
    return 0;
}

}  // namespace calpost
