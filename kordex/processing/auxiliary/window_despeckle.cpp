// The 5x5 despeckle of the internal auxiliary chain.
//
// A pixel that fewer than 6 values of its 5x5 window (itself included) lie
// within the threshold of (|q - v| < t) is an outlier; it takes the mean,
// truncated, of the 13th and 14th smallest window values (the two middle
// values just above the median). New values go to a copy, so every window
// reads the image as it was; the 2-pixel border stays as it is.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "processing/auxiliary/internal_chain.h"

namespace kordex::auxiliary {

StageResult WindowDespeckle(const StageContext& ctx, int t)
{
    const int w = ctx.width, h = ctx.height;
    if (t <= 0 || w < 5 || h < 5) return kStageSkipped;
    std::vector<std::int16_t> out(ctx.image, ctx.image + ctx.Pixels());
    const std::int16_t* src = ctx.image;
    ForRows(ctx, 2, h - 3, [&](int y) {
        const std::int16_t* rows[5];
        for (int k = 0; k < 5; ++k) rows[k] = src + static_cast<std::ptrdiff_t>(y - 2 + k) * w;
        std::int16_t* dst = out.data() + static_cast<std::ptrdiff_t>(y) * w;
        for (int x = 2; x < w - 2; ++x) {
            const int v = rows[2][x];
            int similar = 0;
            for (int k = 0; k < 5; ++k)
                for (int dx = -2; dx <= 2; ++dx) similar += std::abs(rows[k][x + dx] - v) < t;
            if (similar >= 6) continue;
            int window[25];
            for (int k = 0; k < 5; ++k)
                for (int dx = -2; dx <= 2; ++dx) window[k * 5 + dx + 2] = rows[k][x + dx];
            std::nth_element(window, window + 12, window + 25);
            const int above = *std::min_element(window + 13, window + 25);
            dst[x] = static_cast<std::int16_t>((window[12] + above) / 2);
        }
    });
    // The copy started as the image, so its border is the image's own.
    std::memcpy(ctx.image, out.data(), out.size() * sizeof(std::int16_t));
    return kStageDone;
}

}  // namespace kordex::auxiliary
