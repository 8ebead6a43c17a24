// The range scan and the rescale shared by every export and the pipeline.
#pragma once

#include <cstddef>

namespace calpost {

struct Range {
    double min = 65535.0;
    double max = 0.0;
};

// The maximum of values[0..count) starting from 0.0 and the minimum starting
// from 65535.0; NaN values are passed over.
Range ScanRange(const double* values, std::size_t count);

// v <- target * (v - min) / (max - min) over values[0..count), with the range
// from ScanRange. Without a range (max == min) every value becomes 0.
void RescaleTo(double* values, std::size_t count, double target);

}  // namespace calpost
