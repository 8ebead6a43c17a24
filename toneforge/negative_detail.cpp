// Negative-detail replacement of the unsharp mask's detail image: every
// value that is exactly 0 becomes the mean of the negative values of the
// 11 x 11 window centred on it (positions outside the image skipped), or
// -0.0005 when the window holds none; other values are unchanged.
//
// The window sums come from row sums of 11 values taken from the unchanged
// input before anything is replaced, so every window reads the input as it
// was. Each sum adds its terms in a fixed order (columns, then rows, each
// ascending), independent of how the image is split; both passes run over
// whole rows at a time, which vectorises. Counts are kept as doubles (exact
// far beyond 121).
#include <algorithm>

#include "row_bands.h"
#include "stages.h"

namespace toneforge {

namespace {
constexpr int kRadius = 5;  // window 11 x 11
constexpr double kNoNegative = -0.0005;

// sum[x] += values[x + d] and count[x] += counts[x + d] for every x whose
// x + d lies inside the row of `width`.
void AddShifted(const double* __restrict values, const double* __restrict counts, double* __restrict sum,
                double* __restrict count, int width, int d)
{
    const int first = std::max(0, -d);
    const int last = std::min(width - 1, width - 1 - d);
    for (int x = first; x <= last; ++x) {
        sum[x] += values[x + d];
        count[x] += counts[x + d];
    }
}
}  // namespace

void ChangeHighIMG(double* image, int width, int height, int threads)
{
    if (width <= 0 || height <= 0)
        return;
    const long long n = static_cast<long long>(width) * height;
    std::vector<double> rowSum(static_cast<std::size_t>(n));
    std::vector<double> rowCount(static_cast<std::size_t>(n));
    const int bands = BandCount(threads, height);
    std::vector<double> scratch(static_cast<std::size_t>(width) * 2 * bands);

    // Sums of the negative values (and their counts) over 11 columns, added
    // in ascending column order; positions outside the row are left out.
    ForRowBands(threads, height, [&](const RowBand& band) {
        double* negative = scratch.data() + static_cast<std::size_t>(width) * 2 * band.index;
        double* isNegative = negative + width;
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const double* in = image + static_cast<long long>(y) * width;
            double* sum = rowSum.data() + static_cast<long long>(y) * width;
            double* count = rowCount.data() + static_cast<long long>(y) * width;
            for (int x = 0; x < width; ++x) {
                negative[x] = in[x] < 0.0 ? in[x] : 0.0;
                isNegative[x] = in[x] < 0.0 ? 1.0 : 0.0;
                sum[x] = 0.0;
                count[x] = 0.0;
            }
            for (int d = -kRadius; d <= kRadius; ++d)
                AddShifted(negative, isNegative, sum, count, width, d);
        }
    });

    // Column sums of 11 row sums, in ascending row order; only exact zeros
    // take them.
    ForRowBands(threads, height, [&](const RowBand& band) {
        double* sum = scratch.data() + static_cast<std::size_t>(width) * 2 * band.index;
        double* count = sum + width;
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const int from = std::max(0, y - kRadius);
            const int to = std::min(height - 1, y + kRadius);
            std::fill(sum, sum + width, 0.0);
            std::fill(count, count + width, 0.0);
            for (int j = from; j <= to; ++j)
                AddShifted(rowSum.data() + static_cast<long long>(j) * width,
                           rowCount.data() + static_cast<long long>(j) * width, sum, count, width, 0);
            double* row = image + static_cast<long long>(y) * width;
            for (int x = 0; x < width; ++x) {
                if (row[x] == 0.0)
                    row[x] = count[x] > 0.0 ? sum[x] / count[x] : kNoNegative;
            }
        }
    });
}

}  // namespace toneforge
