// Separable Gaussian blur with the enhancement's two extra
// neighbour-averaging passes.
//
// The kernel has sigma = size / 2 (integer) and 2 sigma + 1 taps; positions
// before or beyond a line read its first or last value. Every output is the
// sum over the taps in ascending order, so the row pass (one padded line at a
// time) and the column pass (whole rows at a time, which vectorises) give
// exactly the values of a tap-by-tap convolution.
//
// The averaging passes run in place and on purpose read already updated
// neighbours: along each row from left to right, then down the rows with the
// row above already averaged; the column pass leaves the last column alone.
//
// Sizes below 2 (sigma 0, whose kernel would be 0/0) and sigmas beyond the
// longer image side (a kernel far longer than any line) leave the image as
// it is.
#include <algorithm>
#include <cmath>

#include "row_bands.h"
#include "stages.h"

namespace toneforge {

std::vector<double> GaussianKernel(int size)
{
    const int sigma = size / 2;
    if (sigma < 1)
        return {};
    const int taps = 2 * sigma + 1;
    std::vector<double> kernel(taps);
    double sum = 0.0;
    for (int j = 0; j < taps; ++j) {
        const double x = j - taps / 2;
        kernel[j] = std::exp(-(x * x) / (2.0 * sigma * sigma));
        sum += kernel[j];
    }
    for (double& k : kernel)
        k /= sum;
    return kernel;
}

void FastGaussianBlurring(double* image, int width, int height, int size, int threads)
{
    if (width <= 0 || height <= 0)
        return;
    const int sigma = size / 2;
    if (sigma < 1 || sigma > std::max(width, height))
        return;
    const std::vector<double> kernel = GaussianKernel(size);
    const int taps = static_cast<int>(kernel.size());
    const double* k = kernel.data();
    const long long n = static_cast<long long>(width) * height;

    // Rows: pad the line with its edge values, convolve into `line`; one
    // pair of scratch lines per band.
    const int bands = BandCount(threads, height);
    const std::size_t paddedLength = static_cast<std::size_t>(width) + 2 * static_cast<std::size_t>(sigma);
    std::vector<double> padded(paddedLength * bands);
    std::vector<double> lines(static_cast<std::size_t>(width) * bands);
    ForRowBands(threads, height, [&](const RowBand& band) {
        double* pad = padded.data() + paddedLength * band.index;
        double* line = lines.data() + static_cast<std::size_t>(width) * band.index;
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            double* row = image + static_cast<long long>(y) * width;
            for (std::size_t i = 0; i < paddedLength; ++i)
                pad[i] = row[std::clamp(static_cast<int>(i) - sigma, 0, width - 1)];
            std::fill(line, line + width, 0.0);
            for (int j = 0; j < taps; ++j) {
                const double kj = k[j];
                const double* src = pad + j;
                for (int x = 0; x < width; ++x)
                    line[x] += kj * src[x];
            }
            std::copy(line, line + width, row);
        }
    });

    // Columns: every output row is the weighted sum of whole input rows.
    std::vector<double> columns(static_cast<std::size_t>(n), 0.0);
    ForRowBands(threads, height, [&](const RowBand& band) {
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            double* dst = columns.data() + static_cast<long long>(y) * width;
            for (int j = 0; j < taps; ++j) {
                const double kj = k[j];
                const double* src = image + static_cast<long long>(std::clamp(y - sigma + j, 0, height - 1)) * width;
                for (int x = 0; x < width; ++x)
                    dst[x] += kj * src[x];
            }
        }
    });
    std::copy(columns.begin(), columns.end(), image);

    ForRowBands(threads, height, [&](const RowBand& band) {
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            double* row = image + static_cast<long long>(y) * width;
            for (int x = 1; x < width - 1; ++x)
                row[x] = (row[x - 1] + row[x + 1]) * 0.5;
        }
    });
    // Each row reads the row above as already averaged: one band only.
    for (int y = 1; y < height - 1; ++y) {
        double* row = image + static_cast<long long>(y) * width;
        const double* above = row - width;
        const double* below = row + width;
        for (int x = 0; x < width - 1; ++x)
            row[x] = (above[x] + below[x]) * 0.5;
    }
}

}  // namespace toneforge
