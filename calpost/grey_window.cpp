// Inversion and grey window.
//
// After the inversion the minimum is 0, so dividing by the new maximum maps
// the image onto 0..1; an image of one value has maximum 0 there and simply
// stays 0. The mapping tests v <= lo before v >= hi, so a window that closes
// (hi <= lo) sends every value to 0 or 1 and never divides by hi - lo <= 0.
#include "calpost/grey_window.h"

#include <cstddef>
#include <vector>

#include "calpost/histogram_smoothing.h"
#include "calpost/range_scan.h"

namespace calpost {
namespace {

constexpr int kWindowBins = 512;

}  // namespace

GreyWindow FindGreyWindow(const Image& image, double low, double high)
{
    std::vector<double> histogram(kWindowBins, 0.0);
    for (std::size_t i = 0; i < image.Count(); i += 8) {
        const double v = image.values[i];
        int bin = v > 0.0 ? static_cast<int>((kWindowBins - 1) * v) : 0;
        if (bin > kWindowBins - 1) bin = kWindowBins - 1;
        histogram[static_cast<std::size_t>(bin)] += 1.0;
    }
    const std::vector<double> smooth = SmoothHistogram(histogram);

    GreyWindow window;
    for (int i = 1; i < kWindowBins; ++i) {
        if (smooth[static_cast<std::size_t>(i)] >= low) {
            window.lo = i / 511.0;
            break;
        }
    }
    for (int i = kWindowBins - 1; i >= 1; --i) {
        if (smooth[static_cast<std::size_t>(i)] >= high) {
            window.hi = i / 511.0;
            break;
        }
    }
    return window;
}

void InvertAndWindow(Image& image, double low, double high)
{
    double* v = image.values.data();
    const std::size_t count = image.Count();
    const double max = ScanRange(v, count).max;
    for (std::size_t i = 0; i < count; ++i) v[i] = max - v[i];
    const double newMax = ScanRange(v, count).max;
    if (newMax > 0.0)
        for (std::size_t i = 0; i < count; ++i) v[i] /= newMax;

    const GreyWindow window = FindGreyWindow(image, low, high);
    const double lo = window.lo;
    const double hi = window.hi;
    const double span = hi - lo;
    for (std::size_t i = 0; i < count; ++i) {
        const double x = v[i];
        v[i] = x <= lo ? 0.0 : (x >= hi ? 1.0 : (x - lo) / span);
    }
}

}  // namespace calpost
