// The outline mask and its fills.
//
// The corner curve: K = N / (e^-0.01 - e^-1) in extended precision, kept as a
// 32-bit float; for column i < N, o = N - trunc(K * (e^-0.01 -
// e^-(0.01 + 0.99 i / N))) with e^-0.01 and 0.99 / N as 32-bit floats, and j
// is raised to o. With RCCutOff = RCCutOffR = 140 the corner is 141 rows high
// at the side edges and one row at columns 140 and width-141.
//
// The marked rows are limited to the frame: an RCCutOff at or above the frame
// height marks the whole column and never writes above row 0.
#include "calibration/outline_mask.h"

#include <algorithm>
#include <cmath>

#include "calibration/box_mean.h"
#include "frame/parallel_rows.h"

namespace kordex {

std::vector<std::int16_t> BuildOutlineMask(int width, int height, int cutOff, int cutOffR)
{
    std::vector<std::int16_t> mask(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    const int n = cutOffR;
    const float e001 = static_cast<float>(std::exp(-0.01L));
    const float k = n != 0 ? static_cast<float>(static_cast<long double>(n) / (std::exp(-0.01L) - std::exp(-1.0L)))
                           : 0.0f;
    const float step = n != 0 ? static_cast<float>(0.99 / n) : 0.0f;
    for (int i = 0; i <= width / 2; ++i) {
        int j = cutOff - i;
        if (i < n) {
            const double curve = static_cast<double>(k) *
                                 (static_cast<double>(e001) - std::exp(-(0.01 + static_cast<double>(step * static_cast<float>(i)))));
            const int o = n - static_cast<int>(std::trunc(curve));
            if (o > j) j = o;
        }
        if (j < 0) continue;
        const int firstRow = std::max(height - j - 1, 0);
        const int mirror = width - i - 1;
        for (int y = firstRow; y < height; ++y) {
            mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(i)] = 1;
            if (mirror > i)
                mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(mirror)] = 1;
        }
    }
    return mask;
}

void FillOutline(std::int16_t* frame, const std::int16_t* mask, int width, int height, std::int16_t value,
                 int threads)
{
    ParallelRows(threads, 0, height - 1, [&](const RowBand& band) {
        const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(band.firstRow) * width;
        const std::ptrdiff_t to = static_cast<std::ptrdiff_t>(band.lastRow + 1) * width;
        for (std::ptrdiff_t i = from; i < to; ++i) frame[i] = mask[i] == 1 ? value : frame[i];
    });
}

std::vector<std::int16_t> CutOutlineMask(const FrameGeometry& g, const std::vector<std::int16_t>& mask)
{
    std::vector<std::int16_t> cut(static_cast<std::size_t>(g.cutWidth) * static_cast<std::size_t>(g.cutHeight));
    CutFrame(g, mask.data(), cut.data());
    return cut;
}

void FillOutlineImage(std::int16_t* image, const std::int16_t* imageMask, int width, int height, int value,
                      int threads)
{
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (value >= -32766) {
        FillOutline(image, imageMask, width, height, static_cast<std::int16_t>(value), threads);
        return;
    }
    std::vector<std::int16_t> copy(image, image + pixels);
    std::vector<std::int16_t> rows(pixels);
    const int radius = std::min(width, height) / 20;
    ParallelRows(threads, 0, height - 1, [&](const RowBand& band) {
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            std::int16_t* line = copy.data() + static_cast<std::ptrdiff_t>(y) * width;
            const std::int16_t* m = imageMask + static_cast<std::ptrdiff_t>(y) * width;
            if (m[0] == 1) {
                int x = 0;
                while (x < width && m[x] == 1) ++x;
                if (x < width) std::fill(line, line + x, line[x]);
            }
            if (m[width - 1] == 1) {
                int x = width - 1;
                while (x >= 0 && m[x] == 1) --x;
                if (x >= 0) std::fill(line + x + 1, line + width, line[x]);
            }
            BoxMean1D(line, rows.data() + static_cast<std::ptrdiff_t>(y) * width, width, 1, radius);
        }
    });
    // Columns: the same band split, over column numbers.
    ParallelRows(threads, 0, width - 1, [&](const RowBand& band) {
        for (int x = band.firstRow; x <= band.lastRow; ++x) BoxMean1D(rows.data() + x, copy.data() + x, height, width, radius);
    });
    for (std::size_t i = 0; i < pixels; ++i)
        if (imageMask[i] == 1) image[i] = copy[i];
}

}  // namespace kordex
