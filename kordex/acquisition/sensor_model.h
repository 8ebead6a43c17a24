// The virtual sensor's physics: what the pixel array reads for a dark or an
// X-ray frame.
//
// Each pixel has a fixed dark offset (a mean level, a column pattern and a
// per-pixel spread) and a fixed gain (1 plus a spread); a few pixels are
// stuck (half of them at full scale, half at zero) and one column reads
// weak and offset. A frame adds Gaussian read noise and, for an X-ray frame,
// the open-field exposure times the gain times the phantom's transmission.
//
// The samples returned are the sensor's raw output: 4095 minus the charge,
// so the library's Invert setting (on by default) turns them into values
// that rise with the dose, dark frames low and open field high.
#pragma once

#include <cstdint>
#include <vector>

#include "acquisition/virtual_sensor_settings.h"

namespace kordex {

class SensorModel {
public:
    SensorModel(int width, int height, const VirtualSensorSettings& settings);

    // The raw samples of frame number `frame` (the noise differs per frame),
    // width x height in frame order.
    std::vector<std::uint16_t> Frame(bool xray, unsigned frame) const;

    // The level a pixel reads after inversion without noise (tests).
    double ExpectedLevel(int x, int y, bool xray) const;

private:
    int width_;
    VirtualSensorSettings s_;
    std::vector<float> offset_;
    std::vector<float> gain_;
    std::vector<float> transmission_;
    std::vector<std::int8_t> stuck_;  // 0 normal, 1 stuck at full scale, -1 stuck at zero
};

}  // namespace kordex
