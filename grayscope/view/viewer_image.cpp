// Statistics of a freshly loaded frame: one pass for min, max and the sum,
// one for the histogram, then a walk over the histogram for the median.
#include "grayscope/view/viewer_image.h"

#include <algorithm>

namespace grayscope {

void BuildStatistics(ViewerImage* image)
{
    image->histogram.clear();
    image->min = image->max = image->median = 0;
    image->range = 0;
    image->mean = 0.0f;
    const std::size_t n = image->pixels.size();
    if (n == 0)
        return;
    const std::int16_t* p = image->pixels.data();
    int lo = 32767;
    int hi = -32768;
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int v = p[i];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
    }
    image->min = lo;
    image->max = hi;
    image->range = hi - lo + 1;
    image->mean = static_cast<float>(static_cast<double>(sum) / static_cast<double>(n));
    image->histogram.assign(static_cast<std::size_t>(image->range), 0u);
    std::uint32_t* h = image->histogram.data();
    for (std::size_t i = 0; i < n; ++i)
        ++h[p[i] - lo];
    const std::uint64_t half = n / 2;
    std::uint64_t running = 0;
    for (int k = 0; k < image->range; ++k) {
        running += h[k];
        if (running >= half) {
            image->median = lo + k;
            break;
        }
    }
}

}  // namespace grayscope
