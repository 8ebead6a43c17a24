#include "grayscope/view/truncation.h"

#include <cstdint>

namespace grayscope {

int TruncatedPoint(const ViewerImage* image, int tenthsPercent, Side side)
{
    if (image == nullptr || image->Empty() || image->histogram.empty())
        return side == Side::Black ? 0 : 4095;
    double fraction = tenthsPercent * 0.001;
    bool fromBottom = side == Side::Black;
    if (fraction < 0) {
        fraction = -fraction;
        fromBottom = !fromBottom;
    }
    const auto n = static_cast<std::int64_t>(static_cast<double>(image->PixelCount()) * fraction);
    if (n <= 0)
        return side == Side::Black ? image->min : image->max;
    std::int64_t sum = 0;
    if (fromBottom) {
        for (int i = 0; i < image->range; ++i) {
            sum += image->histogram[i];
            if (sum >= n)
                return image->min + i;
        }
        return image->max;
    }
    for (int i = image->range - 1; i >= 0; --i) {
        sum += image->histogram[i];
        if (sum >= n)
            return image->min + i;
    }
    return image->min;
}

}  // namespace grayscope
