// Truncation toward zero of real values into integers: results into 16-bit
// pixels, and real-valued arguments "used as integers" into ints.
//
// Both clamp, so a NaN or an out-of-range value never reaches a conversion
// with undefined behaviour: NaN gives the lower bound (0 for pixels).
#pragma once

#include <cstdint>

namespace calpost {

inline std::uint16_t Store16(double v)
{
    if (!(v > 0.0)) return 0;
    if (v >= 65535.0) return 65535;
    return static_cast<std::uint16_t>(v);
}

// trunc(v) limited to lo..hi; NaN gives lo.
inline int TruncateToInt(double v, int lo, int hi)
{
    if (!(v >= lo)) return lo;
    if (v >= hi) return hi;
    return static_cast<int>(v);
}

}  // namespace calpost
