// Detail mask. The statistics sample every 4th element of the flattened
// array (not every 4th pixel of a grid) and divide by N/4 in integer
// arithmetic, as the system always has; an image of fewer than 4 pixels
// divides by 1 instead of 0. The deviation is the two-pass sum of squared
// distances from the mean.
#include "calpost/detail_mask.h"

#include <cmath>
#include <cstddef>

#include "calpost/half_resolution_smoothing.h"

namespace calpost {

void MakeDetailMask(const Image& image, double k, DetailMask& detail)
{
    Image smooth;
    HalfResolutionSmooth(image, smooth);
    const std::size_t count = image.Count();
    detail.highPass = Image(image.width, image.height);
    double* a = detail.highPass.values.data();
    for (std::size_t i = 0; i < count; ++i) a[i] = std::fabs(image.values[i] - smooth.values[i]);

    const std::size_t quarter = count / 4;
    const double divisor = static_cast<double>(quarter > 0 ? quarter : 1);
    double sum = 0.0;
    for (std::size_t i = 0; i < count; i += 4) sum += a[i];
    const double mean = sum / divisor;
    double squares = 0.0;
    for (std::size_t i = 0; i < count; i += 4) squares += (a[i] - mean) * (a[i] - mean);
    const double deviation = std::sqrt(squares / divisor);

    const double limit = mean + k * deviation;
    detail.mask.assign(count, 0);
    for (std::size_t i = 0; i < count; ++i) detail.mask[i] = a[i] > limit ? 1 : 0;
}

}  // namespace calpost
