// Plain unsharp mask of the internal auxiliary chain: every sample gains
// near((v - blur) w), blur being the box blur of radius r, wrapped to 16
// bits. Weights above 1e9 count as 1e9 and radii above 2^20 as 2^20 (both
// far beyond any useful value), so no intermediate leaves its range.
#include <algorithm>
#include <vector>

#include "platform/exact_math.h"
#include "processing/auxiliary/internal_chain.h"
#include "processing/box_smooth.h"

namespace kordex::auxiliary {

StageResult PlainUnsharpMask(const StageContext& ctx, int r, float w)
{
    if (r <= 0 || !(w > 0)) return kStageSkipped;
    const std::size_t n = ctx.Pixels();
    std::vector<std::int16_t> blur(n), scratch(n);
    BoxSmoothInto(ctx.width, ctx.height, std::min(r, 1 << 20), ctx.image, blur.data(), nullptr, ctx.threads,
                  scratch.data());
    const double weight = std::min(static_cast<double>(w), 1e9);
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        const std::size_t first = static_cast<std::size_t>(y) * ctx.width;
        std::int16_t* row = ctx.image + first;
        const std::int16_t* b = blur.data() + first;
        for (int x = 0; x < ctx.width; ++x) row[x] = platform::Wrap16(row[x] + platform::Near64((row[x] - b[x]) * weight));
    });
    return kStageDone;
}

}  // namespace kordex::auxiliary
