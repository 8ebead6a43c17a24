// The local mean of a frame: nearest-inner fill, then the separable running
// box mean. The two passes go through a second buffer allocated before
// them, because BoxMean1D never reads and writes one line in place.
#include "calibration/local_mean.h"

#include <algorithm>

#include "calibration/box_mean.h"
#include "calibration/trimmed_mode.h"
#include "frame/parallel_rows.h"

namespace kordex {

std::vector<std::int16_t> LocalMean(const std::int16_t* frame, int width, int height, const InnerRegion& region,
                                    const std::int16_t* outlineMask, int radius, int threads)
{
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const int firstRow = region.top, lastRow = height - region.bottom - 1;
    const int firstColumn = region.left, lastColumn = width - region.right - 1;
    TrimmedModeScratch scratch;
    const int m = TrimmedModeOfRegion(frame, width, firstColumn, firstRow, lastColumn, lastRow, scratch);

    std::vector<std::int16_t> mean(pixels, 0);
    std::vector<std::int16_t> rows(pixels);
    const std::int16_t level = static_cast<std::int16_t>(m);
    ParallelRows(threads, 0, height - 1, [&](const RowBand& band) {
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(y) * width;
            const std::int16_t* source = frame + static_cast<std::ptrdiff_t>(std::clamp(y, firstRow, lastRow)) * width;
            std::int16_t* out = mean.data() + at;
            if (outlineMask) {
                const std::int16_t* mask = outlineMask + at;
                for (int x = 0; x < width; ++x) out[x] = mask[x] == 1 ? level : std::int16_t{0};
            }
            for (int x = 0; x < width; ++x)
                if (out[x] == 0) out[x] = source[std::clamp(x, firstColumn, lastColumn)];
            BoxMean1D(out, rows.data() + at, width, 1, radius);
        }
    });
    ParallelRows(threads, 0, width - 1, [&](const RowBand& band) {
        for (int x = band.firstRow; x <= band.lastRow; ++x) BoxMean1D(rows.data() + x, mean.data() + x, height, width, radius);
    });
    return mean;
}

}  // namespace kordex
