// Flat-field calibration.
//
// The gain reference is the mean of bright - dark over the whole frame,
// negative differences included. A frame whose mean difference is not above
// 0 has no usable reference (dividing by it would give infinite or negative
// gains and wipe the frame), so every gain is then 1.0 and the result is the
// dark-corrected raw frame. The corrected values are rescaled to 0..65535 in
// place in a work array before they are stored.
#include "calpost/calibration.h"

#include <vector>

#include "calpost/range_scan.h"
#include "calpost/truncate.h"

namespace calpost {

void CalibrateFrame(const double* dark, const double* bright, const double* raw, std::size_t count,
                    std::uint16_t* out)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) sum += bright[i] - dark[i];
    const double mean = sum / static_cast<double>(count);
    const bool haveReference = mean > 0.0;

    std::vector<double> corrected(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double g = bright[i] - dark[i];
        const double r = (haveReference && g > 0.0) ? g / mean : 1.0;
        const double o = (raw[i] - dark[i]) / r;
        corrected[i] = o < 0.0 ? 0.0 : o;
    }
    RescaleTo(corrected.data(), count, 65535.0);
    for (std::size_t i = 0; i < count; ++i) out[i] = Store16(corrected[i]);
}

}  // namespace calpost
