// Exposure recognition: the first tone stage after the min/max scaling.
//
// The auto-level clips the exposure's tails, the gamma shapes the exposure
// response, and the inversion against the largest value (searched from 0)
// turns the attenuation image around so that dense tissue is bright. The
// power is evaluated per pixel (no table), as the stage always has.
#include <cmath>

#include "row_bands.h"
#include "stages.h"

namespace toneforge {

void ParaExpoReco_20070201(double* image, int width, int height, const _tagIMG_PARAM_IntraOral& p, int threads)
{
    AutoLevel_20070201(image, width, height, p.m_ERCL, p.m_ERCH, 0.0, threads);
    const double gamma = p.m_ERGA;
    std::vector<double> bandLargest(BandCount(threads, height), 0.0);
    ForRowBands(threads, height, [&](const RowBand& band) {
        double* row = image + static_cast<long long>(band.firstRow) * width;
        const long long n = static_cast<long long>(band.lastRow - band.firstRow + 1) * width;
        double largest = 0.0;
        for (long long i = 0; i < n; ++i) {
            const double v = std::pow(row[i], gamma);
            row[i] = v;
            if (v > largest)
                largest = v;
        }
        bandLargest[band.index] = largest;
    });
    double largest = 0.0;
    for (double v : bandLargest) {
        if (v > largest)
            largest = v;
    }
    ForRowBands(threads, height, [&](const RowBand& band) {
        double* row = image + static_cast<long long>(band.firstRow) * width;
        const long long n = static_cast<long long>(band.lastRow - band.firstRow + 1) * width;
        for (long long i = 0; i < n; ++i)
            row[i] = largest - row[i];
    });
}

}  // namespace toneforge
