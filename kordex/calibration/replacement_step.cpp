// Saturation replacement.
//
// The automatic value: N counts every pixel except those at the values
// Cal_SatValue-1 .. maximum-1 (the maximum's own count stays in N); walking
// down from Cal_SatValue-2 the counts are added until they reach N / 1000,
// and the last value added is the replacement value (Cal_SatValue-1 when
// N / 1000 is 0). The walk never passes the frame's minimum: when it would,
// the minimum is the value (almost every pixel is then saturated).
#include "calibration/replacement_step.h"

#include <algorithm>
#include <vector>

#include "frame/parallel_rows.h"
#include "platform/text.h"

namespace kordex {

bool AutomaticReplacementValue(const std::int16_t* frame, std::int64_t count, int satValue,
                               std::int32_t* histogram, int* value)
{
    if (count <= 0) return false;
    std::fill(histogram, histogram + 65536, 0);
    int minimum = 32767, maximum = -32768;
    for (std::int64_t i = 0; i < count; ++i) {
        const int p = frame[i];
        ++histogram[p + 32768];
        minimum = std::min(minimum, p);
        maximum = std::max(maximum, p);
    }
    if (maximum < satValue) return false;
    auto countOf = [&](int v) -> std::int64_t { return v < -32768 || v > 32767 ? 0 : histogram[v + 32768]; };
    std::int64_t n = count;
    for (int v = std::max(satValue - 1, -32768); v <= maximum - 1; ++v) n -= countOf(v);
    const std::int64_t t = n / 1000;
    if (t <= 0) {
        *value = satValue - 1;
        return true;
    }
    std::int64_t sum = 0;
    int v = satValue - 2;
    for (;; --v) {
        if (v <= minimum) {
            v = minimum;
            break;
        }
        sum += countOf(v);
        if (sum >= t) break;
    }
    *value = v;
    return true;
}

StageResult RunReplacementStep(const StepContext& ctx)
{
    const LibrarySettings& s = *ctx.settings;
    int r = s.calRepValue;
    if (r < 0) {
        std::vector<std::int32_t> histogram(65536);
        if (!AutomaticReplacementValue(ctx.frame, static_cast<std::int64_t>(ctx.width) * ctx.height, s.calSatValue,
                                       histogram.data(), &r))
            return kStageSkipped;
        Report(ctx, KX_REPORT_INFO, platform::Format("Automatic replacement value = %d", r));
    }
    const int first = ctx.FirstInnerColumn(), last = ctx.LastInnerColumn(), w = ctx.width;
    if (r <= 32767) {
        const std::int16_t cap = static_cast<std::int16_t>(std::max(r, -32768));
        ParallelRows(ctx.threads, ctx.FirstInnerRow(), ctx.LastInnerRow(), [&](const RowBand& band) {
            for (int y = band.firstRow; y <= band.lastRow; ++y) {
                std::int16_t* row = ctx.frame + static_cast<std::ptrdiff_t>(y) * w;
                for (int x = first; x <= last; ++x) row[x] = row[x] >= cap ? cap : row[x];
                if (Aborted(ctx)) return;
            }
        });
    }
    return Aborted(ctx) ? kStageFailed : kStageDone;
}

}  // namespace kordex
