// Adaptive unsharp mask of the internal auxiliary chain.
//
// The sharpening weight of a pixel is the product of two tables:
//  - a contour weight over the values of the contour image C = |blur(R1) -
//    blur(2 R1)| (blurred again with 2 R1 + R1 / 3 and cut by 0.01 per cent
//    at both ends): a falling half sine over the lower half of C's range, 0
//    above it, so strong edges are not sharpened again;
//  - a level weight over the values of B3 = blur(R3): 0 in the darkest tenth,
//    a rising sine up to the middle of the range, flat above, and falling
//    linearly to 0 over the top quarter.
// Each pixel with weight l > 0 gains trunc(W3 l (v - B3)) and, when W4 and R4
// are above 0, trunc(W4 l (v - B4)) with B4 = blur(R4), wrapped to 16 bits.
// Ranges of fewer than 10 levels cannot carry a table: the stage is then left
// out. Weights above 1e9 count as 1e9 (the result wraps either way). Radii are limited to 2^20 (far beyond any image; the blur of such a
// radius is the edge-weighted mean) so that 2 R1 + R1 / 3 cannot overflow.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/exact_math.h"
#include "processing/auxiliary/internal_chain.h"
#include "processing/box_smooth.h"
#include "processing/histogram.h"
#include "processing/sine_table.h"

namespace kordex::auxiliary {
namespace {

constexpr int kMaxRadius = 1 << 20;

}  // namespace

StageResult AdaptiveUnsharpMask(const StageContext& ctx, int r1, int r3, int r4, float w3, float w4)
{
    if (r1 <= 0 || r3 <= 0 || !(w3 > 0)) return kStageSkipped;
    r1 = std::min(r1, kMaxRadius);
    r3 = std::min(r3, kMaxRadius);
    r4 = std::min(r4, kMaxRadius);
    const int w = ctx.width, h = ctx.height;
    const std::size_t n = ctx.Pixels();
    std::vector<std::int16_t> contour(n), wide(n), b3(n), scratch(n), b4;

    // 1. Contour.
    BoxSmoothInto(w, h, r1, ctx.image, contour.data(), nullptr, ctx.threads, scratch.data());
    BoxSmoothInto(w, h, 2 * r1, ctx.image, wide.data(), nullptr, ctx.threads, scratch.data());
    for (std::size_t i = 0; i < n; ++i) contour[i] = platform::Wrap16(std::abs(contour[i] - wide[i]));
    BoxSmooth(w, h, 2 * r1 + r1 / 3, contour.data(), nullptr, ctx.threads, scratch.data());
    StageContext contourCtx = ctx;
    contourCtx.image = contour.data();
    Truncation(contourCtx, 0.01, 0.01);
    ctx.Dump("5ausm_contour.raw", contour.data());

    // 2. and 3. B3 and the level weight over its values.
    BoxSmoothInto(w, h, r3, ctx.image, b3.data(), nullptr, ctx.threads, scratch.data());
    const auto [b3min, b3max] = std::minmax_element(b3.begin(), b3.end());
    SineTable level;
    if (!BuildSineTable(*b3min, *b3max, 10, 50, -1.570795, 1.884954, level)) return kStageSkipped;
    RampDownTop(level, 0.75);

    // 4. The contour weight over the values of C.
    const auto [cmin, cmax] = std::minmax_element(contour.begin(), contour.end());
    SineTable edge;
    if (!BuildSineTable(*cmin, *cmax, 0, 50, 1.570795, 4.712385, edge)) return kStageSkipped;

    // 5. B4.
    const bool second = w4 > 0 && r4 > 0;
    if (second) {
        b4.resize(n);
        BoxSmoothInto(w, h, r4, ctx.image, b4.data(), nullptr, ctx.threads, scratch.data());
    }

    // 6. Apply; the coefficient image reuses the scratch image.
    std::int16_t* coeff = scratch.data();
    // Weights limited so that no product below can leave the 64-bit range.
    const double g3 = std::min(static_cast<double>(w3), 1e9), g4 = std::min(static_cast<double>(w4), 1e9);
    ForRows(ctx, 0, h - 1, [&](int y) {
        const std::size_t first = static_cast<std::size_t>(y) * w;
        for (std::size_t i = first; i < first + static_cast<std::size_t>(w); ++i) {
            const double l = edge.At(contour[i]) * level.At(b3[i]);
            coeff[i] = static_cast<std::int16_t>(static_cast<int>(l * 100));
            if (l <= 0) continue;
            const int v = ctx.image[i];
            std::int64_t out = v + static_cast<std::int64_t>(g3 * l * (v - b3[i]));
            if (second) out += static_cast<std::int64_t>(g4 * l * (v - b4[i]));
            ctx.image[i] = platform::Wrap16(out);
        }
    });
    ctx.Dump("5ausm_coeff.raw", coeff);
    return kStageDone;
}

}  // namespace kordex::auxiliary
