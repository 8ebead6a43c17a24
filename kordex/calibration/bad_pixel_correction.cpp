// Bad-pixel correction on row bands, in three passes:
//
// 1. The bands OR the manual map into their rows of the combined map.
// 2. The auxiliary despeckle marks the whole frame, on one thread, in row
//    order: a pixel's test reads the marks of the rows above it, so marking
//    band by band would make the marks at band boundaries depend on timing.
// 3. The bands correct their rows, left to right. A pixel reads only
//    neighbours of code 0, which no band ever writes, and the map no longer
//    changes, so no band reads what another is writing: the corrected frame
//    is the one-band result for every thread count (a radiograph must be
//    reproducible, so the timing dependence at band boundaries that a
//    band-by-band despeckle would bring is not accepted).
//
// Outline pixels keep code 1 when the manual map is OR-ed in: a manual mark
// on the cut-off corner must not turn it into a pixel to correct, nor make it
// a neighbour.
#include "calibration/bad_pixel_correction.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "calibration/auxiliary_despeckle.h"
#include "frame/parallel_rows.h"
#include "platform/text.h"

namespace kordex {
namespace {

struct Offset {
    int dy, dx;
};

constexpr Offset kPairs[4][2] = {{{0, -1}, {0, 1}}, {{-1, 0}, {1, 0}}, {{-1, -1}, {1, 1}}, {{-1, 1}, {1, -1}}};
constexpr Offset kRing[8] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, 1}, {-1, 1}, {1, -1}};

bool CorrectPixel(std::int16_t* frame, const std::int16_t* map, int w, int h, int y, int x)
{
    const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(y) * w + x;
    if (y >= 1 && y <= h - 2 && x >= 1 && x <= w - 2) {
        int best = -1, bestDiff = 0, bestA = 0, bestB = 0;
        for (int p = 0; p < 4; ++p) {
            const std::ptrdiff_t ia = i + kPairs[p][0].dy * w + kPairs[p][0].dx;
            const std::ptrdiff_t ib = i + kPairs[p][1].dy * w + kPairs[p][1].dx;
            if (map[ia] != 0 || map[ib] != 0) continue;
            const int a = frame[ia], b = frame[ib];
            const int diff = std::abs(a - b);
            if (best < 0 || diff < bestDiff) {
                best = p;
                bestDiff = diff;
                bestA = a;
                bestB = b;
            }
        }
        if (best >= 0) {
            frame[i] = static_cast<std::int16_t>((bestA + bestB) / 2);
            return true;
        }
    }
    int sum = 0, count = 0;
    for (int k = 1; k <= 3; ++k) {
        for (const Offset& o : kRing) {
            const int yy = y + o.dy * k, xx = x + o.dx * k;
            if (yy < 0 || yy >= h || xx < 0 || xx >= w) continue;
            const std::ptrdiff_t j = static_cast<std::ptrdiff_t>(yy) * w + xx;
            if (map[j] != 0) continue;
            sum += frame[j];
            if (++count == 8) {
                frame[i] = static_cast<std::int16_t>(sum / 8);
                return true;
            }
        }
    }
    return false;
}

}  // namespace

void CorrectBadPixels(const StepContext& ctx, std::int16_t* autoMap, std::int16_t* manualMap, bool allowAux)
{
    const int w = ctx.width, h = ctx.height;
    const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    std::vector<std::int16_t> withOutline;
    std::int16_t* combined = autoMap ? autoMap : manualMap;
    if (ctx.outlineMask) {
        withOutline.resize(pixels);
        std::int16_t* out = withOutline.data();
        ParallelRows(ctx.threads, 0, h - 1, [&](const RowBand& band) {
            const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(band.firstRow) * w;
            const std::ptrdiff_t to = static_cast<std::ptrdiff_t>(band.lastRow + 1) * w;
            for (std::ptrdiff_t i = from; i < to; ++i)
                out[i] = ctx.outlineMask[i] == 1 ? std::int16_t{1} : (autoMap ? autoMap[i] : std::int16_t{0});
        });
        combined = out;
    }
    if (!combined) return;
    const std::int16_t* orMap = manualMap && manualMap != combined ? manualMap : nullptr;
    const std::int64_t errorLimit = static_cast<std::int64_t>(pixels) / 4;
    const int firstCol = ctx.FirstInnerColumn(), lastCol = ctx.LastInnerColumn();

    const int firstRow = ctx.FirstInnerRow(), lastRow = ctx.LastInnerRow();
    if (orMap)
        ParallelRows(ctx.threads, firstRow, lastRow, [&](const RowBand& band) {
            for (int y = band.firstRow; y <= band.lastRow; ++y) {
                const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * w;
                for (int x = firstCol; x <= lastCol; ++x) {
                    if (ctx.outlineMask && ctx.outlineMask[row + x] == 1) continue;
                    combined[row + x] = static_cast<std::int16_t>(combined[row + x] | orMap[row + x]);
                }
            }
        });
    if (allowAux) AuxiliaryDespeckle(ctx, combined, firstRow, lastRow);

    ParallelRows(ctx.threads, firstRow, lastRow, [&](const RowBand& band) {
        std::int64_t errors = 0;
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * w;
            for (int x = firstCol; x <= lastCol; ++x) {
                // Runs of four good pixels are passed over at once.
                if (x + 3 <= lastCol) {
                    std::uint64_t four;
                    std::memcpy(&four, combined + row + x, sizeof four);
                    if (four == 0) {
                        x += 3;
                        continue;
                    }
                }
                if (combined[row + x] <= 1) continue;
                if (CorrectPixel(ctx.frame, combined, w, h, y, x)) continue;
                if (Aborted(ctx)) continue;
                if (errors < errorLimit) {
                    if (errors % 1000 == 0)
                        Report(ctx, KX_REPORT_INFO,
                               platform::Format("WRN: BPM can't correct pix[%d,%d] err#%lld", x, y,
                                                static_cast<long long>(errors + 1)));
                } else {
                    StoreWord(ctx.abortWord, -1);
                    Report(ctx, KX_REPORT_INFO,
                           platform::Format("WRN: BPM stopped at pix[%d,%d] after %lld errors", x, y,
                                            static_cast<long long>(errors)));
                }
                ++errors;
            }
            if (Aborted(ctx)) return;
        }
    });
}

}  // namespace kordex
