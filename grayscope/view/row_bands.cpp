#include "grayscope/view/row_bands.h"

#include <algorithm>
#include <thread>

#include "platform/row_bands.h"

namespace grayscope {

int BandCount(long long pixels)
{
    if (pixels < 256 * 1024)
        return 1;
    const int hw = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(hw, 1, 8);
}

void RunRowBands(int rows, int bands, const std::function<void(int, int)>& body)
{
    if (rows <= 0)
        return;
    platform::RunRowBands(std::clamp(bands, 1, rows), 0, rows - 1,
                          [&body](const platform::RowBand& band) { body(band.firstRow, band.lastRow); });
}

}  // namespace grayscope
