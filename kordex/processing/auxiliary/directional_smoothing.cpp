// Directional smoothing of the internal auxiliary chain.
//
// The disc of radius R is split into 8 sectors of 45 degrees; sectors t and
// t + 4 form the line t (t = 0..3). Each pixel at least R from every edge
// moves toward the mean of the line whose mean is closest to it (the first
// line on ties), by the weight o = G / (|B - A| + 1): A and B are the image
// box-blurred with radii max(1, R / 3) and R, so the pull is strong in flat
// regions and weak across edges. The border band takes A.
//
// The sector table holds 50 offsets per sector, which radii up to 11 respect
// (radius 12 already needs 56): larger radii are left out with a warning
// line, as is a sector that stays empty. A weight G for which o + 1 is 0
// (G = -(|B - A| + 1)) leaves that pixel as it is; results beyond the 16-bit
// range (only reachable with negative weights) are limited to it.
//
// Per row the sector sums are accumulated offset by offset along the whole
// row, so the inner loops run over contiguous samples and vectorise; the
// sector means are then taken for the whole row at once.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "frame/parallel_rows.h"
#include "platform/exact_math.h"
#include "platform/text.h"
#include "processing/auxiliary/internal_chain.h"
#include "processing/box_smooth.h"
#include "processing/smoothing_steps.h"

namespace kordex::auxiliary {

StageResult DirectionalSmoothing(const StageContext& ctx, int r, int g)
{
    if (r <= 0 || g == 0) return kStageSkipped;
    if (r > kMaxDirectionalRadius) {
        ctx.Log(platform::Format("WRN: directional smoothing radius %d is above %d, left out", r, kMaxDirectionalRadius));
        return kStageSkipped;
    }
    const std::array<std::vector<DiscOffset>, 8> sectors = DiscSectors(r);
    for (const auto& s : sectors)
        if (s.empty() || s.size() > static_cast<std::size_t>(kSectorCapacity)) return kStageSkipped;

    const int w = ctx.width, h = ctx.height;
    const std::size_t n = ctx.Pixels();
    std::vector<std::int16_t> a(n), b(n), scratch(n);
    BoxSmoothInto(w, h, std::max(1, r / 3), ctx.image, a.data(), nullptr, ctx.threads, scratch.data());
    BoxSmoothInto(w, h, r, ctx.image, b.data(), nullptr, ctx.threads, scratch.data());

    if (2 * r < w && 2 * r < h) {
        std::array<std::vector<std::ptrdiff_t>, 8> deltas;
        std::array<int, 8> counts{};
        for (std::size_t k = 0; k < 8; ++k) {
            for (const DiscOffset& o : sectors[k]) deltas[k].push_back(static_cast<std::ptrdiff_t>(o.dy) * w + o.dx);
            counts[k] = static_cast<int>(sectors[k].size());
        }
        // Per band: 8 rows of sector sums and 8 of sector means, allocated
        // before the pass.
        const int bands = ParallelThreadCount(ctx.threads);
        const std::size_t bandSize = 16 * static_cast<std::size_t>(w);
        std::vector<std::int32_t> work(static_cast<std::size_t>(bands) * bandSize);
        std::array<double, 8> inverse;
        // Sector sums of at most 50 samples stay far inside the exact range.
        for (std::size_t k = 0; k < 8; ++k) inverse[k] = platform::InverseOf(counts[k]);
        const std::int16_t* src = ctx.image;
        const double weight = g;
        const int x0 = r, x1 = w - r;  // the interior columns x0 .. x1 - 1
        ParallelRows(ctx.threads, r, h - 1 - r, [&](const RowBand& band) {
            std::int32_t* sums = work.data() + static_cast<std::size_t>(band.index) * bandSize;
            std::int32_t* means = sums + 8 * static_cast<std::size_t>(w);
            for (int y = band.firstRow; y <= band.lastRow; ++y) {
                const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * w;
                for (std::size_t k = 0; k < 8; ++k) {
                    std::int32_t* sum = sums + k * w;
                    std::fill(sum + x0, sum + x1, 0);
                    for (const std::ptrdiff_t d : deltas[k]) {
                        const std::int16_t* from = src + row + d;
                        for (int x = x0; x < x1; ++x) sum[x] += from[x];
                    }
                    std::int32_t* mean = means + k * w;
                    const double inv = inverse[k];
                    for (int x = x0; x < x1; ++x) mean[x] = static_cast<std::int32_t>(sum[x] * inv);
                }
                const std::int16_t* hRow = src + row;
                const std::int16_t* bRow = b.data() + row;
                std::int16_t* aRow = a.data() + row;  // read at x, then overwritten at x
                for (int x = x0; x < x1; ++x) {
                    const int v = hRow[x];
                    int line = (means[x] + means[4 * w + x]) / 2;
                    int distance = std::abs(line - v);
                    for (int t = 1; t < 4; ++t) {
                        const int l = (means[t * w + x] + means[(t + 4) * w + x]) / 2;
                        const int d = std::abs(l - v);
                        line = d < distance ? l : line;
                        distance = d < distance ? d : distance;
                    }
                    const double o = weight / (std::abs(bRow[x] - aRow[x]) + 1);
                    const int value = NearClamped((o * line + v) / (o + 1.0));
                    aRow[x] = static_cast<std::int16_t>(o + 1.0 == 0.0 ? v : std::clamp(value, -32768, 32767));
                }
                if (ctx.Aborted()) return;
            }
        });
    }
    std::copy(a.begin(), a.end(), ctx.image);
    return kStageDone;
}

}  // namespace kordex::auxiliary
