// Sigma filter: each pixel becomes the mean of the samples of its window
// that lie strictly within +-2 sigma of it.
//
// The window of size m has its top-left corner at (x - m/2, y - m/2) and is
// sampled every k rows and columns (offsets 0, k, 2k, ... below m), so the
// centre itself is a sample only when m/2 is a multiple of k; a pixel with no
// qualifying sample keeps its value. Samples outside the image are skipped
// (the loops start at the first offset inside the image).
//
// Windows above 255 pixels are outside the filter's range and leave the image
// as it is: up to 255 the sample count (at most 255 x 255) fits the 16-bit
// counter the filter was designed with, and the work stays bounded (a window
// of thousands, typed by mistake, would run for minutes). The count is kept
// in an int all the same.
//
// Results go to a separate image, so every window reads unfiltered values.
// Columns whose window lies wholly inside the image are filtered a row at a
// time (a running sum and count per pixel, which vectorises); a sample
// outside the band adds 0.0 there, which leaves a sum exactly as skipping it
// does, so both paths give the same values.
#include <algorithm>

#include "row_bands.h"
#include "stages.h"

namespace toneforge {

namespace {
// One sample offset for a run of n pixels: the sample s of each pixel is
// added to its sum (and 1 to its count) when lower < s < upper, else +0.0,
// which leaves a sum exactly as skipping the sample does. Without branches the
// loop vectorises (the library is built without trapping-math assumptions,
// so the comparisons may be evaluated for every pixel).
void AddSamples(const double* __restrict samples, const double* __restrict lower, const double* __restrict upper,
                double* __restrict sum, double* __restrict count, long long n)
{
    for (long long i = 0; i < n; ++i) {
        const double s = samples[i];
        const bool inside = (s > lower[i]) & (s < upper[i]);
        sum[i] += inside ? s : 0.0;
        count[i] += inside ? 1.0 : 0.0;
    }
}

// The first offset of 0, k, 2k, ... that lands at position >= 0 when the
// window starts at `start`.
long long FirstOffset(long long start, int k)
{
    if (start >= 0)
        return 0;
    return (-start + k - 1) / k * k;
}
}  // namespace

void FastSigmaFilter(double* image, int width, int height, int m, double sigma, int k, int threads)
{
    if (m < 1 || m > kMaxSigmaWindow || k < 1 || width <= 0 || height <= 0)
        return;
    const int r = m / 2;
    const double reach = 2.0 * sigma;
    const long long n = static_cast<long long>(width) * height;
    std::vector<double> out(static_cast<std::size_t>(n));

    const long long innerFirst = r;
    const long long innerLast = static_cast<long long>(width) - m + r;
    const int bands = BandCount(threads, height);
    std::vector<double> scratch(static_cast<std::size_t>(width) * 4 * bands);

    ForRowBands(threads, height, [&](const RowBand& band) {
        double* sum = scratch.data() + static_cast<std::size_t>(width) * 4 * band.index;
        double* count = sum + width;
        double* lower = count + width;
        double* upper = lower + width;
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const long long top = static_cast<long long>(y) - r;
            const long long oyFirst = FirstOffset(top, k);
            const long long oyEnd = std::min<long long>(m, height - top);
            const double* centre = image + static_cast<long long>(y) * width;
            double* result = out.data() + static_cast<long long>(y) * width;

            for (long long x = innerFirst; x <= innerLast; ++x) {
                lower[x] = centre[x] - reach;
                upper[x] = centre[x] + reach;
                sum[x] = 0.0;
                count[x] = 0.0;
            }
            for (long long oy = oyFirst; oy < oyEnd; oy += k) {
                const double* row = image + (top + oy) * width;
                for (long long ox = 0; ox < m; ox += k) {
                    AddSamples(row + innerFirst + ox - r, lower + innerFirst, upper + innerFirst, sum + innerFirst,
                               count + innerFirst, innerLast - innerFirst + 1);
                }
            }
            for (long long x = innerFirst; x <= innerLast; ++x)
                result[x] = count[x] > 0.0 ? sum[x] / count[x] : centre[x];

            auto single = [&](long long x) {
                const long long left = x - r;
                const long long oxFirst = FirstOffset(left, k);
                const long long oxEnd = std::min<long long>(m, width - left);
                const double c = centre[x];
                const double lo = c - reach;
                const double hi = c + reach;
                double total = 0.0;
                int hits = 0;
                for (long long oy = oyFirst; oy < oyEnd; oy += k) {
                    const double* row = image + (top + oy) * width;
                    for (long long ox = oxFirst; ox < oxEnd; ox += k) {
                        const double v = row[left + ox];
                        if (v > lo && v < hi) {
                            total += v;
                            ++hits;
                        }
                    }
                }
                result[x] = hits > 0 ? total / hits : c;
            };
            if (innerFirst > innerLast) {
                for (long long x = 0; x < width; ++x)
                    single(x);
            } else {
                for (long long x = 0; x < innerFirst; ++x)
                    single(x);
                for (long long x = innerLast + 1; x < width; ++x)
                    single(x);
            }
        }
    });
    std::copy(out.begin(), out.end(), image);
}

}  // namespace toneforge
