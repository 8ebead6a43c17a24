// Flat-field calibration of one frame from a dark and a bright frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace calpost {

// out[i] = the corrected raw[i], rescaled to 0..65535 and truncated, for
// count pixels. The gain of a pixel is its difference bright - dark relative
// to the mean difference (1.0 where the difference is not above 0, and
// everywhere when the mean is not above 0). All arrays hold count values.
void CalibrateFrame(const double* dark, const double* bright, const double* raw, std::size_t count,
                    std::uint16_t* out);

}  // namespace calpost
