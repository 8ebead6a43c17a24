// Exact arithmetic as the system defines it, in named helpers instead of
// ad-hoc casts, shared by calibration, processing and the enhancement
// libraries.
#pragma once

#include <cstdint>

namespace platform {

// near(x): add 0.49999 and truncate toward zero -- for negative values too,
// so Near(-300.0) is -299. The conversion from real to integer used
// throughout calibration and processing. x must lie in the int range.
inline int Near(double x)
{
    return static_cast<int>(x + 0.49999);
}

// The same rounding to a 64-bit integer, for sums and products that can
// leave the 32-bit range.
inline std::int64_t Near64(double x)
{
    return static_cast<std::int64_t>(x + 0.49999);
}

// Integer division truncating toward zero (C semantics), spelled out where
// the rule matters to the reader.
inline int TruncDiv(int numerator, int denominator)
{
    return numerator / denominator;
}

// 1/d raised by a few units in the last place, so that a division can be a
// multiplication: trunc(sum * InverseOf(d)) equals sum / d (C division) for
// |sum| < 2^31 and 0 < d < 2^16. An exact quotient can no longer fall just
// below its integer, and an inexact one stays at least 1/d away from the next
// integer, far more than the error of two roundings (about 2^-51 relative).
inline double InverseOf(int d)
{
    return (1.0 / d) * (1.0 + 0x1p-50);
}

// The low 16 bits taken as a signed value.
inline std::int16_t Wrap16(std::int64_t value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(value) & 0xFFFFu));
}

// value limited to lo..hi.
inline int ClampInt(int value, int lo, int hi)
{
    return value < lo ? lo : (value > hi ? hi : value);
}

}  // namespace platform
