// Histogram smoothing. The taps are nearly equal (e^-0.004 = 0.996), so this
// is close to a five-bin box; the ends repeat the end bins instead of
// mirroring, so a peak in bin 0 is not doubled.
#include "calpost/histogram_smoothing.h"

#include <cmath>
#include <cstddef>

namespace calpost {

std::vector<double> SmoothHistogram(const std::vector<double>& histogram)
{
    double taps[5];
    double sum = 0.0;
    for (int i = 0; i < 5; ++i) {
        taps[i] = std::exp(-0.001 * (i - 2) * (i - 2));
        sum += taps[i];
    }
    for (double& t : taps) t /= sum;

    const long n = static_cast<long>(histogram.size());
    std::vector<double> out(histogram.size(), 0.0);
    double peak = 0.0;
    for (long j = 0; j < n; ++j) {
        double acc = 0.0;
        for (int i = 0; i < 5; ++i) {
            long k = j + i - 2;
            k = k < 0 ? 0 : (k >= n ? n - 1 : k);
            acc += taps[i] * histogram[static_cast<std::size_t>(k)];
        }
        out[static_cast<std::size_t>(j)] = acc;
        if (acc > peak) peak = acc;
    }
    if (peak > 0.0)
        for (double& v : out) v /= peak;
    return out;
}

}  // namespace calpost
