// Neville's polynomial interpolation in the precisions the gain curve uses.
//
// The rounded sum is limited to the int32 range before the conversion: with
// points whose xs nearly coincide the polynomial can reach any size, and the
// caller clips the result anyway.
#include "calibration/neville.h"

#include <cmath>
#include <cstdlib>

namespace kordex {

std::int64_t NevilleInterpolate(const std::int32_t* xs, const std::int32_t* ys, int n, std::int32_t x)
{
    float c[32], d[32];
    int ns = 0;
    std::int64_t dif = std::llabs(static_cast<std::int64_t>(x) - xs[0]);
    for (int i = 0; i < n; ++i) {
        const std::int64_t dift = std::llabs(static_cast<std::int64_t>(x) - xs[i]);
        if (dift < dif) {
            ns = i;
            dif = dift;
        }
        c[i] = static_cast<float>(ys[i]);
        d[i] = static_cast<float>(ys[i]);
    }
    long double y = ys[ns];
    --ns;
    for (int m = 1; m < n; ++m) {
        for (int i = 0; i < n - m; ++i) {
            const float ho = static_cast<float>(static_cast<std::int64_t>(xs[i]) - x);
            const float hp = static_cast<float>(static_cast<std::int64_t>(xs[i + m]) - x);
            const float w = c[i + 1] - d[i];
            float den = ho - hp;
            if (den == 0.0f) return kNevilleSameX;
            den = w / den;
            d[i] = hp * den;
            c[i] = ho * den;
        }
        // Go on along the straightest path: up or down the tableau.
        const float dy = 2 * (ns + 1) < n - m ? c[ns + 1] : d[ns--];
        y += dy;
    }
    long double rounded = y + 0.49999L;
    if (!(rounded > -2147483648.0L)) rounded = -2147483648.0L;  // also catches NaN
    if (rounded > 2147483647.0L) rounded = 2147483647.0L;
    return static_cast<std::int64_t>(rounded);
}

}  // namespace kordex
