// Gamma of the internal auxiliary chain: over the image's range min..max a
// table maps level i to min + near(range (i / range)^(g / 100 + 1)), so g > 0
// darkens the middle tones and g < 0 lightens them, while min and max stay.
// Exponents at or below 0 (g <= -100) would lift level 0 to max or beyond
// (0 to a negative power is infinite): table entries are limited to
// min..max.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/exact_math.h"
#include "processing/auxiliary/internal_chain.h"

namespace kordex::auxiliary {

StageResult GammaCurve(const StageContext& ctx, int g)
{
    if (g == 0) return kStageSkipped;
    const auto [lo, hi] = std::minmax_element(ctx.image, ctx.image + ctx.Pixels());
    const int mn = *lo, range = *hi - *lo;
    if (range == 0) return kStageSkipped;
    const double exponent = g * 0.01 + 1.0;
    std::vector<std::int16_t> table(static_cast<std::size_t>(range) + 1);
    for (int i = 0; i <= range; ++i) {
        const double value = range * std::pow(static_cast<double>(i) / range, exponent);
        table[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(mn + std::clamp(NearClamped(value), 0, range));
    }
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * ctx.width;
        for (int x = 0; x < ctx.width; ++x) row[x] = table[static_cast<std::size_t>(row[x] - mn)];
    });
    return kStageDone;
}

}  // namespace kordex::auxiliary
