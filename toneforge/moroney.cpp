// Moroney tone correction: a local gamma driven by a heavily blurred mask.
//
// Where the mask lies above the split level the exponent base is m_M_expoHi,
// below it m_M_expoLo; the exponent base^t (t = mask / split - 1) is 1 at the
// split, so the correction is continuous there. Both powers are evaluated per
// pixel, as the stage always has.
#include <cmath>

#include "conversions.h"
#include "row_bands.h"
#include "stages.h"

namespace toneforge {

void Moroney(double* image, int width, int height, const _tagIMG_PARAM_IntraOral& p, int threads)
{
    if (width <= 0 || height <= 0)
        return;
    const long long n = static_cast<long long>(width) * height;
    std::vector<double> mask(image, image + n);
    FastGaussianBlurring(mask.data(), width, height, TruncSize(p.m_MFGBsig), threads);

    const double split = p.m_m_split;
    const double hi = p.m_M_expoHi;
    const double lo = p.m_M_expoLo;
    ForRowBands(threads, height, [&](const RowBand& band) {
        const long long from = static_cast<long long>(band.firstRow) * width;
        const long long to = static_cast<long long>(band.lastRow + 1) * width;
        const double* m = mask.data();
        for (long long i = from; i < to; ++i) {
            const double t = m[i] / split - 1.0;
            const double base = t >= 0.0 ? hi : lo;
            image[i] = std::pow(image[i], std::pow(base, t));
        }
    });
}

}  // namespace toneforge
