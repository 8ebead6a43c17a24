// The real-to-integer conversions of the enhancement, defined for every
// double. The stages truncate toward zero as the arithmetic prescribes; these
// helpers only add what plain casts leave undefined (values that are not a
// number, or far outside the int range), so for every value in range they
// give exactly the truncation.
#pragma once

#include <cmath>

namespace toneforge {

// trunc(x) limited to 0 ... last; not-a-number gives 0. For x in [0, last]
// this is exactly trunc(x), so a table index formed from a value the stage
// already scaled is never changed.
inline int TableIndex(double x, int last)
{
    if (!(x > 0.0))
        return 0;
    if (x >= static_cast<double>(last))
        return last;
    return static_cast<int>(x);
}

// trunc(x) for a parameter used as a size: not-a-number gives 0, values
// beyond +-1e9 give +-1e9.
inline int TruncSize(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 1e9)
        return 1000000000;
    if (x <= -1e9)
        return -1000000000;
    return static_cast<int>(x);
}

}  // namespace toneforge
