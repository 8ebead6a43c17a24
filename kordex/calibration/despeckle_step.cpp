// Standalone despeckle.
//
// Column test (types 0 and 2): the pixel differs from the column on its left
// and the column on its right (three pixels each) -> flagged; from one side
// only -> flagged when it also differs from the five pixels two columns away
// on the other side (this finds defects two pixels wide). The row test (types
// 0 and 1, only when the column test did not flag) is the same turned by a
// quarter. "Differs by more than f" means v - q > f for every q of the set, or
// v - q < -f for every q.
#include "calibration/despeckle_step.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "calibration/bad_pixel_correction.h"
#include "frame/parallel_rows.h"
#include "platform/text.h"

namespace kordex {
namespace {

// True when v differs by more than f from the count pixels at p, p+step, ...
// The first pixel decides the direction; most pixels fail on it.
inline bool Differs(int v, const std::int16_t* p, std::ptrdiff_t step, int count, int f)
{
    const int d0 = v - p[0];
    if (d0 > f) {
        for (int k = 1; k < count; ++k)
            if (v - p[k * step] <= f) return false;
        return true;
    }
    if (d0 < -f) {
        for (int k = 1; k < count; ++k)
            if (v - p[k * step] >= -f) return false;
        return true;
    }
    return false;
}

// The column test (LnDet_Type 0 and 2) and, when it did not flag, the row
// test (types 0 and 1) for the pixel at p in rows of stride s.
inline bool FlagsLineSpeckle(const std::int16_t* p, std::ptrdiff_t s, int f, int type)
{
    const int v = *p;
    if (type != 1) {
        const bool leftSide = Differs(v, p - s - 1, s, 3, f);
        const bool rightSide = Differs(v, p - s + 1, s, 3, f);
        if (leftSide && rightSide) return true;
        if (leftSide && Differs(v, p - 2 * s + 2, s, 5, f)) return true;
        if (rightSide && !leftSide && Differs(v, p - 2 * s - 2, s, 5, f)) return true;
    }
    if (type != 2) {
        const bool upSide = Differs(v, p - s - 1, 1, 3, f);
        const bool downSide = Differs(v, p + s - 1, 1, 3, f);
        if (upSide && downSide) return true;
        if (upSide && Differs(v, p + 2 * s - 2, 1, 5, f)) return true;
        if (downSide && !upSide && Differs(v, p - 2 * s - 2, 1, 5, f)) return true;
    }
    return false;
}

}  // namespace

int DetectLineSpeckles(const StepContext& ctx, std::int16_t* map, int r0, int r1)
{
    const int w = ctx.width, h = ctx.height;
    const int f = ctx.settings->deSpeckle.lnDetThreshold;
    const int type = ctx.settings->deSpeckle.lnDetType;
    const int firstRow = std::max(r0, 2), lastRow = std::min(r1, h - 3);
    const int firstCol = std::max(ctx.left, 2), lastCol = std::min(w - 3, w - ctx.right - 1);
    const std::ptrdiff_t s = w;
    int flagged = 0;
    // Either test needs P to differ by more than f from at least one of its
    // four direct neighbours; a vectorisable look at those four picks the
    // few candidates for the full tests, 16 pixels at a time.
    constexpr int kChunk = 16;
    for (int y = firstRow; y <= lastRow; ++y) {
        const std::int16_t* row = ctx.frame + y * s;
        for (int x0 = firstCol; x0 <= lastCol; x0 += kChunk) {
            const int n = std::min(kChunk, lastCol - x0 + 1);
            bool candidate[kChunk];
            bool any = false;
            if (n == kChunk) {
                for (int k = 0; k < kChunk; ++k) {
                    const std::int16_t* p = row + x0 + k;
                    const int v = *p, dl = v - p[-1], dr = v - p[1], du = v - p[-s], dd = v - p[s];
                    candidate[k] = (dl > f) | (dl < -f) | (dr > f) | (dr < -f) | (du > f) | (du < -f) | (dd > f) |
                                   (dd < -f);
                }
                for (int k = 0; k < kChunk; ++k) any |= candidate[k];
                if (!any) continue;
            } else {
                std::fill(candidate, candidate + kChunk, true);
            }
            for (int k = 0; k < n; ++k) {
                if (!candidate[k]) continue;
                const int x = x0 + k;
                if (FlagsLineSpeckle(row + x, s, f, type)) {
                    map[y * s + x] = kCodeLineSpeckle;
                    ++flagged;
                }
            }
        }
        if (Aborted(ctx)) break;
    }
    return flagged;
}

StageResult RunDespeckleStep(const StepContext& ctx)
{
    std::vector<std::int16_t> map(static_cast<std::size_t>(ctx.width) * static_cast<std::size_t>(ctx.height), 0);
    Report(ctx, KX_REPORT_TIMED, "DeSpeckle start");
    std::atomic<int> total{0};
    ParallelRows(ctx.threads, ctx.FirstInnerRow(), ctx.LastInnerRow(), [&](const RowBand& band) {
        total.fetch_add(DetectLineSpeckles(ctx, map.data(), band.firstRow, band.lastRow));
    });
    if (ctx.dump) ctx.dump("4_desTempBPM", map.data());
    if (Aborted(ctx)) return kStageSkipped;
    if (total.load() > 0) {
        CorrectBadPixels(ctx, map.data(), nullptr, false);
        if (LoadWord(ctx.abortWord) == -1) {
            // The correction stopped at its error limit; the chain goes on.
            StoreWord(ctx.abortWord, 0);
            return kStageSkipped;
        }
    }
    if (Aborted(ctx)) return kStageSkipped;
    Report(ctx, KX_REPORT_TIMED, platform::Format("DeSpeckle done for %d pixels", total.load()));
    return kStageDone;
}

}  // namespace kordex
