// Min/max scaling of the working image, used before every histogram and at
// the end of the local contrast stage.
//
// The search starts from max = 0 and min = 65535, as the enhancement has
// always done, so the extremes of an image wholly above 65535 or below 0 keep
// one starting value. An empty range (max <= min: a flat image) maps every
// value to 0 instead of dividing by zero. Values that are not a number are
// ignored by the search and stay what they are. Each band searches its own
// rows from the same starting values; the extremes of the bands' extremes are
// the image's, whatever the split.
#include <algorithm>

#include "row_bands.h"
#include "stages.h"

namespace toneforge {

MinMax MaxMinHKL(const double* image, int width, int height, int threads)
{
    std::vector<MinMax> bands(BandCount(threads, height), MinMax{65535.0, 0.0});
    ForRowBands(threads, height, [&](const RowBand& band) {
        MinMax m{65535.0, 0.0};
        const double* v = image + static_cast<long long>(band.firstRow) * width;
        const long long n = static_cast<long long>(band.lastRow - band.firstRow + 1) * width;
        for (long long i = 0; i < n; ++i) {
            if (v[i] > m.max)
                m.max = v[i];
            if (v[i] < m.min)
                m.min = v[i];
        }
        bands[band.index] = m;
    });
    MinMax m{65535.0, 0.0};
    for (const MinMax& b : bands) {
        if (b.max > m.max)
            m.max = b.max;
        if (b.min < m.min)
            m.min = b.min;
    }
    return m;
}

void ScalingHKL(double* image, int width, int height, double top, int threads)
{
    const MinMax m = MaxMinHKL(image, width, height, threads);
    const double range = m.max - m.min;
    const bool flat = !(range > 0.0);
    ForRowBands(threads, height, [&](const RowBand& band) {
        double* v = image + static_cast<long long>(band.firstRow) * width;
        const long long n = static_cast<long long>(band.lastRow - band.firstRow + 1) * width;
        if (flat) {
            std::fill(v, v + n, 0.0);
            return;
        }
        for (long long i = 0; i < n; ++i)
            v[i] = (v[i] - m.min) * top / range;
    });
}

}  // namespace toneforge
