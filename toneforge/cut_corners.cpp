// The cut corners of sensors whose two lower corners are outside the
// sensitive area: marked in a mask, and filled before the enhancement so that
// the fill values of the caller (typically far outside the image's range)
// take no part in the min/max scaling and the histograms.
//
// A column's cut starts at the smaller of its two corner lines, so a column
// left of the centre is filled from the right and one right of it from the
// left (a reflection across the 45-degree cut line). Fill sources are always
// unmarked pixels, which the fill never writes, so the order of the fill does
// not matter.
#include <algorithm>
#include <cstring>

#include "stages.h"

namespace toneforge {

void MarkAndFillCutCorners(std::uint16_t* image, std::uint8_t* mask, int width, int height, int cutRow)
{
    std::memset(mask, 0, static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const long long c = cutRow;
    for (int x = 0; x < width; ++x) {
        const long long left = x + c;
        const long long right = c + (width - 1 - x);
        const long long start = std::max(0LL, std::min(left, right));
        if (start >= height)
            continue;
        for (long long y = start; y < height; ++y)
            mask[y * width + x] = 1;
    }

    for (int x = 0; x < width; ++x) {
        const long long start = std::max(0LL, std::min(x + c, c + (width - 1 - x)));
        if (start >= height)
            continue;
        const bool towardRight = x + c <= c + (width - 1 - x);
        const long long r = start - 1;  // last uncut row
        for (long long y = start; y < height; ++y) {
            std::uint16_t& target = image[y * width + x];
            if (r < 0) {
                target = 0;
                continue;
            }
            const long long k = y - start;
            const std::uint8_t* maskRow = mask + r * width;
            long long col;
            if (towardRight) {
                col = std::min<long long>(x + k + 1, width - 1);
                while (col > x && maskRow[col] != 0)
                    --col;
            } else {
                col = std::max<long long>(x - k - 1, 0);
                while (col < x && maskRow[col] != 0)
                    ++col;
            }
            target = image[r * width + col];
        }
    }
}

}  // namespace toneforge
