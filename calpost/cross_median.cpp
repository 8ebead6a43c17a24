// Cross median. The image is extended by 2 mirrored pixels on every side
// once; the medians read only that copy, so a replaced pixel never feeds a
// neighbour's median.
#include "calpost/cross_median.h"

#include <cstddef>

#include "calpost/median.h"
#include "calpost/mirror.h"

namespace calpost {

void CrossMedian(Image& image, const std::vector<std::uint8_t>& mask)
{
    constexpr int p = 2;
    const Image ext = ExtendMirrored(image, p);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* m = mask.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
        double* out = image.Row(y);
        for (int x = 0; x < image.width; ++x) {
            if (!m[x]) continue;
            const int ex = x + p;
            const int ey = y + p;
            double v[9] = {
                ext.At(ex, ey - 2), ext.At(ex, ey - 1), ext.At(ex, ey), ext.At(ex, ey + 1), ext.At(ex, ey + 2),
                ext.At(ex - 2, ey), ext.At(ex - 1, ey), ext.At(ex + 1, ey), ext.At(ex + 2, ey),
            };
            out[x] = Median9(v);
        }
    }
}

}  // namespace calpost
