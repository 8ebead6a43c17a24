// Adaptive unsharp mask: detail = image - sigma-filtered image, added back
// with a weight chosen by the (scaled) smoothed level, so that bright and
// dark regions can be sharpened differently.
//
// Strongly negative details (below -0.0005) are dropped to 0 and then
// replaced by the small negative mean of their neighbourhood, which keeps dark
// edges from ringing. Afterwards the image is stretched to [0, 1] by the
// extremes of its interior only: the border band of half the kernel size is
// excluded from the search (its filter response is unreliable) and then
// limited to [0, 1]. A negative kernel size counts as 0; an interior with no
// pixels, or a flat one, maps every pixel to 0.
#include <algorithm>

#include "conversions.h"
#include "row_bands.h"
#include "stages.h"

namespace toneforge {

namespace {
constexpr double kDetailFloor = -0.0005;
}  // namespace

void FAUMHKL_2(double* image, int width, int height, int kernelSize, const double* levelWeights,
               const _tagIMG_PARAM_IntraOral& p, int threads)
{
    if (width <= 0 || height <= 0)
        return;
    const long long n = static_cast<long long>(width) * height;

    std::vector<double> blur(image, image + n);
    FastSigmaFilter(blur.data(), width, height, TruncSize(p.m_FFSF_Msize), p.m_FFSF_sigma,
                    TruncSize(p.m_FFSF_skip), threads);

    std::vector<double> detail(static_cast<std::size_t>(n));
    ForRowBands(threads, height, [&](const RowBand& band) {
        const long long from = static_cast<long long>(band.firstRow) * width;
        const long long to = static_cast<long long>(band.lastRow + 1) * width;
        for (long long i = from; i < to; ++i) {
            const double d = image[i] - blur[i];
            detail[i] = d < kDetailFloor ? 0.0 : d;
        }
    });
    ScalingHKL(blur.data(), width, height, 1.0, threads);
    ChangeHighIMG(detail.data(), width, height, threads);

    ForRowBands(threads, height, [&](const RowBand& band) {
        const long long from = static_cast<long long>(band.firstRow) * width;
        const long long to = static_cast<long long>(band.lastRow + 1) * width;
        for (long long i = from; i < to; ++i)
            image[i] = image[i] + levelWeights[TableIndex(blur[i] * 511, 511)] * detail[i];
    });

    // Extremes of the interior, searched per band from the same starting
    // values and then combined.
    const int r = std::max(kernelSize / 2, 0);
    const long long innerTop = r;
    const long long innerBottom = static_cast<long long>(height) - r - 1;
    const long long innerLeft = r;
    const long long innerRight = static_cast<long long>(width) - r - 1;
    std::vector<MinMax> bandExtremes(BandCount(threads, height), MinMax{65535.0, 0.0});
    ForRowBands(threads, height, [&](const RowBand& band) {
        MinMax m{65535.0, 0.0};
        for (long long y = std::max<long long>(band.firstRow, innerTop); y <= std::min<long long>(band.lastRow, innerBottom);
             ++y) {
            const double* row = image + y * width;
            for (long long x = innerLeft; x <= innerRight; ++x) {
                if (row[x] > m.max)
                    m.max = row[x];
                if (row[x] < m.min)
                    m.min = row[x];
            }
        }
        bandExtremes[band.index] = m;
    });
    double lo = 65535.0;
    double hi = 0.0;
    for (const MinMax& m : bandExtremes) {
        if (m.max > hi)
            hi = m.max;
        if (m.min < lo)
            lo = m.min;
    }

    const double range = hi - lo;
    ForRowBands(threads, height, [&](const RowBand& band) {
        for (long long y = band.firstRow; y <= band.lastRow; ++y) {
            double* row = image + y * width;
            if (range > 0.0) {
                for (long long x = 0; x < width; ++x)
                    row[x] = (row[x] - lo) / range;
            } else {
                std::fill(row, row + width, 0.0);
            }
            const bool borderRow = y < innerTop || y > innerBottom;
            for (long long x = 0; x < width; ++x) {
                if (borderRow || x < innerLeft || x > innerRight)
                    row[x] = std::clamp(row[x], 0.0, 1.0);
            }
        }
    });
}

}  // namespace toneforge
