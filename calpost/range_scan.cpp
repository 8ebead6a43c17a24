// Range scan and rescale.
//
// The scan starts from max 0.0 and min 65535.0 as the system always has, so
// arrays lying wholly below 0 or above 65535 keep those start values as a
// bound. The rescale divides before it multiplies: (max - min) / (max - min)
// is exactly 1, so the maximum becomes exactly the target and a later
// truncation keeps it (target / range * range can fall an ulp short). An
// array without a range has nothing to spread: it becomes all zeros rather
// than a division by zero.
#include "calpost/range_scan.h"

namespace calpost {

Range ScanRange(const double* values, std::size_t count)
{
    Range r;
    for (std::size_t i = 0; i < count; ++i) {
        const double v = values[i];
        if (v > r.max) r.max = v;
        if (v < r.min) r.min = v;
    }
    return r;
}

void RescaleTo(double* values, std::size_t count, double target)
{
    const Range r = ScanRange(values, count);
    const double span = r.max - r.min;
    if (!(span != 0.0)) {
        for (std::size_t i = 0; i < count; ++i) values[i] = 0.0;
        return;
    }
    const double min = r.min;
    for (std::size_t i = 0; i < count; ++i) values[i] = target * ((values[i] - min) / span);
}

}  // namespace calpost
