// Median-distance bad-pixel map.
//
// A pixel equal to its median (R == 0) is never marked, even when the
// threshold bin f comes out as 0: f is 0 whenever nearly all ratios share
// bin 0 (a flat frame, a window without room in the frame, or a frame with
// one extreme pixel), and marking every R >= 0 would then mark the whole
// frame, border included. For f >= 1 the extra condition changes nothing.
// Even windows n = 2h span x - h .. x + h - 1, so every interior window lies
// inside the frame as the border rule (rows and columns h .. size - h - 1)
// expects.
#include "calpost/noise_bad_pixel_map.h"

#include <cmath>
#include <cstddef>

#include "calpost/median.h"
#include "calpost/range_scan.h"
#include "calpost/separable_filter.h"

namespace calpost {

std::vector<double> GaussianTaps(double sigma)
{
    const int s = 4 * static_cast<int>(sigma) + 5;
    const int centre = s / 2;
    std::vector<double> taps(static_cast<std::size_t>(s));
    double sum = 0.0;
    for (int i = 0; i < s; ++i) {
        const double u = (i - centre) / sigma;
        taps[static_cast<std::size_t>(i)] = std::exp(-u * u / 2.0);
        sum += taps[static_cast<std::size_t>(i)];
    }
    for (double& t : taps) t /= sum;
    return taps;
}

Image MedianDistanceRatio(const Image& image, int n, double sigma)
{
    const int w = image.width;
    const int h = image.height;
    const int half = n / 2;
    Image distance(w, h);
    if (n >= 2 && n <= w && n <= h) {
        std::vector<double> window(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
        for (int y = half; y <= h - half - 1; ++y) {
            for (int x = half; x <= w - half - 1; ++x) {
                std::size_t k = 0;
                for (int wy = y - half; wy < y - half + n; ++wy) {
                    const double* row = image.Row(wy);
                    for (int wx = x - half; wx < x - half + n; ++wx) window[k++] = row[wx];
                }
                const double median = MedianOf(window.data(), n * n);
                distance.At(x, y) = std::fabs(image.At(x, y) - median);
            }
        }
    }

    const std::vector<double> taps = GaussianTaps(sigma);
    Image blurred;
    FilterRowsColumns(image, taps, blurred);
    Image deviation(w, h);
    for (std::size_t i = 0; i < image.Count(); ++i)
        deviation.values[i] = std::fabs(image.values[i] - blurred.values[i]);
    Image meanDeviation;
    FilterRowsColumns(deviation, taps, meanDeviation);

    Image ratio(w, h);
    for (std::size_t i = 0; i < image.Count(); ++i) {
        const double a = meanDeviation.values[i];
        ratio.values[i] = a != 0.0 ? distance.values[i] / a : 0.0;
    }
    RescaleTo(ratio.values.data(), ratio.Count(), kRatioMax);
    return ratio;
}

void NoiseBadPixelMap(const Image& image, int n, double percentage, double sigma, std::uint8_t* map)
{
    const Image ratio = MedianDistanceRatio(image, n, sigma);
    const double f = RatioThresholdBin(ratio, percentage);
    for (std::size_t i = 0; i < ratio.Count(); ++i) {
        const double r = ratio.values[i];
        map[i] = (r >= f && r > 0.0) ? 255 : 0;
    }
}

}  // namespace calpost
