// Noise-relative replacement.
//
// The ratio image covers the image extended by p = n/2 mirrored pixels on
// every side, as the threshold counts the extended pixels. The mirrored
// border band is not made of pixels of its own, so its distance D is 0 (it
// only pads the windows and the smoothing of the high-pass level). The n x n
// window of pixel (x, y) spans x - p .. x - p + n - 1 (centred for odd n, as
// in the median-distance bad-pixel map). Windows of 3 and 5 take the fixed
// median networks; other sizes the general selection. A window wider than
// the image would only reflect the image onto itself repeatedly, so n is
// limited to the smaller side.
#include "calpost/noise_replacement.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "calpost/half_resolution_smoothing.h"
#include "calpost/median.h"
#include "calpost/mirror.h"
#include "calpost/range_scan.h"
#include "calpost/ratio_threshold.h"

namespace calpost {

void NoiseRelativeReplace(Image& image, const DetailMask& detail, int n, double q)
{
    n = std::min(n, std::min(image.width, image.height));
    if (n < 2) return;
    const int p = n / 2;
    const int w = image.width;
    const Image ext = ExtendMirrored(image, p);

    // D over the extended size (0 on the border band and on unmasked
    // pixels), and the medians of the masked pixels in scan order.
    Image ratio(ext.width, ext.height);
    std::vector<double> medians;
    std::vector<double> window(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* m = detail.mask.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 0; x < w; ++x) {
            if (!m[x]) continue;
            std::size_t k = 0;
            for (int wy = y; wy < y + n; ++wy) {
                const double* row = ext.Row(wy);
                for (int wx = x; wx < x + n; ++wx) window[k++] = row[wx];
            }
            const double med = MedianOf(window.data(), n * n);
            medians.push_back(med);
            ratio.At(x + p, y + p) = std::fabs(image.At(x, y) - med);
        }
    }

    // R = D / Z in place, Z the smoothed extended high-pass level.
    Image level;
    HalfResolutionSmooth(ExtendMirrored(detail.highPass, p), level);
    for (std::size_t i = 0; i < ratio.Count(); ++i) {
        const double z = level.values[i];
        ratio.values[i] = z != 0.0 ? ratio.values[i] / z : 0.0;
    }
    RescaleTo(ratio.values.data(), ratio.Count(), kRatioMax);
    const double f = RatioThresholdBin(ratio, q);

    std::size_t next = 0;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* m = detail.mask.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        const double* r = ratio.Row(y + p) + p;
        double* out = image.Row(y);
        for (int x = 0; x < w; ++x) {
            if (!m[x]) continue;
            const double med = medians[next++];
            if (r[x] >= f) out[x] = med;
        }
    }
}

}  // namespace calpost
