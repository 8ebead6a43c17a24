// Image despeckle: the 3x3 passes, then the 5x5 pass.
//
// Eight-neighbour detection: the neighbours, in the order up-left, up,
// up-right, left, right, down-left, down, down-right (position codes 1..8),
// are darker-side (v - q < -a), brighter-side (v - q > a) or similar. The
// pixel is rejected as soon as a darker-side neighbour arrives while
// similar + brighter-side already exceeds 1, a brighter-side one while
// similar + darker-side exceeds 1, or a second similar one. A pixel that
// survives gets the position code of its one similar neighbour, or 255. So the
// outcome depends on the order, as intended: seven darker-side neighbours and
// one brighter-side flag the pixel only when the brighter one comes first or
// second.
//
// The replacement averages the neighbours with code 0 except the similar one,
// when more than two remain. It writes only flagged pixels and reads only
// unflagged ones, so bands never race.
//
// The 5x5 detection flags a pixel when at most five pixels of its window
// (itself included) lie within a5 of it; the flagged pixels are marked
// -32768 and replaced by the 5x5 median-of-three of the unmarked copy.
#include "calibration/image_despeckle.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "frame/parallel_rows.h"
#include "platform/text.h"

namespace kordex {
namespace {

constexpr int kNeighbourDy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
constexpr int kNeighbourDx[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
constexpr std::int16_t kNoSimilar = 255;
constexpr std::int16_t kMarker = -32768;

bool Aborted(std::int32_t* word)
{
    return std::atomic_ref<std::int32_t>(*word).load(std::memory_order_relaxed) != 0;
}

template <typename Body>
void Rows(const ImageDespeckleContext& ctx, int first, int last, Body body)
{
    ParallelRows(ctx.threads, 0, ctx.height - 1, [&](const RowBand& band) {
        const int from = std::max(band.firstRow, first), to = std::min(band.lastRow, last);
        for (int y = from; y <= to; ++y) {
            body(y);
            if (Aborted(ctx.abortWord)) return;
        }
    });
}

std::int16_t Classify(const std::int16_t* p, int w, int a)
{
    const int v = *p;
    int similar = 0, darker = 0, brighter = 0, similarAt = 0;
    for (int k = 0; k < 8; ++k) {
        const int q = p[kNeighbourDy[k] * w + kNeighbourDx[k]];
        const int d = v - q;
        if (d < -a) {
            if (similar + brighter > 1) return 0;
            ++darker;
        } else if (d > a) {
            if (similar + darker > 1) return 0;
            ++brighter;
        } else {
            if (similar > 0) return 0;
            ++similar;
            similarAt = k + 1;
        }
    }
    return similar ? static_cast<std::int16_t>(similarAt) : kNoSimilar;
}

void MedianPass(const ImageDespeckleContext& ctx, std::int16_t* scratch, int b)
{
    const int w = ctx.width;
    const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(ctx.height);
    std::memcpy(scratch, ctx.image, pixels * sizeof(std::int16_t));
    Rows(ctx, b, ctx.height - 1 - b, [&](int y) {
        for (int x = b; x <= w - 1 - b; ++x)
            ctx.image[static_cast<std::ptrdiff_t>(y) * w + x] = static_cast<std::int16_t>(MedianOfThree(scratch, w, x, y, b));
    });
}

}  // namespace

int MedianOfThree(const std::int16_t* src, int width, int x, int y, int b)
{
    int window[25] = {};
    int n = 0;
    for (int dy = -b; dy <= b; ++dy)
        for (int dx = -b; dx <= b; ++dx) window[n++] = src[static_cast<std::ptrdiff_t>(y + dy) * width + x + dx];
    const int m = n / 2;
    std::nth_element(window, window + m, window + n);
    const int below = *std::max_element(window, window + m);
    const int above = *std::min_element(window + m + 1, window + n);
    return (below + window[m] + above) / 3;
}

int ImageDespeckle(const ImageDespeckleContext& ctx, const ImageDespeckleParams& params)
{
    const int a = params.threshold, a5 = params.threshold5x5;
    if (a < 0 && a5 < 0) return 0;
    if (ctx.report) ctx.report("Despeckle start");
    const int w = ctx.width, h = ctx.height;
    const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    std::vector<std::int16_t> scratchBuffer(pixels);
    std::int16_t* scratch = scratchBuffer.data();

    if (a == 0) {
        for (int pass = 1; pass <= params.numPasses && !Aborted(ctx.abortWord); ++pass) MedianPass(ctx, scratch, 1);
    } else if (a > 0) {
        const int threshold = std::max(a, 1);
        for (int pass = 1; pass <= params.numPasses && !Aborted(ctx.abortWord); ++pass) {
            std::fill(scratchBuffer.begin(), scratchBuffer.end(), 0);
            Rows(ctx, 1, h - 2, [&](int y) {
                for (int x = 1; x <= w - 2; ++x) {
                    const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(y) * w + x;
                    scratch[i] = Classify(ctx.image + i, w, threshold);
                }
            });
            if (ctx.dump) ctx.dump(platform::Format("1desmap%2.2d", pass), scratch);
            Rows(ctx, 1, h - 2, [&](int y) {
                for (int x = 1; x <= w - 2; ++x) {
                    const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(y) * w + x;
                    const int code = scratch[i];
                    if (code == 0) continue;
                    int sum = 0, count = 0;
                    for (int k = 0; k < 8; ++k) {
                        if (k + 1 == code) continue;
                        const std::ptrdiff_t j = i + kNeighbourDy[k] * w + kNeighbourDx[k];
                        if (scratch[j] != 0) continue;
                        sum += ctx.image[j];
                        ++count;
                    }
                    if (count > 2) ctx.image[i] = static_cast<std::int16_t>(sum / count);
                }
            });
        }
    }

    if (!Aborted(ctx.abortWord)) {
        if (a5 == 0) {
            MedianPass(ctx, scratch, 2);
        } else if (a5 > 0) {
            std::fill(scratchBuffer.begin(), scratchBuffer.end(), 0);
            Rows(ctx, 2, h - 3, [&](int y) {
                for (int x = 2; x <= w - 3; ++x) {
                    const int v = ctx.image[static_cast<std::ptrdiff_t>(y) * w + x];
                    int close = 0;
                    for (int dy = -2; dy <= 2; ++dy)
                        for (int dx = -2; dx <= 2; ++dx)
                            close += std::abs(ctx.image[static_cast<std::ptrdiff_t>(y + dy) * w + x + dx] - v) < a5;
                    if (close <= 5) scratch[static_cast<std::ptrdiff_t>(y) * w + x] = 1;
                }
            });
            if (ctx.dump) ctx.dump("1desmap5x5", scratch);
            Rows(ctx, 0, h - 1, [&](int y) {
                for (int x = 0; x < w; ++x) {
                    const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(y) * w + x;
                    const bool flagged = scratch[i] != 0;
                    scratch[i] = ctx.image[i];
                    if (flagged) ctx.image[i] = kMarker;
                }
            });
            if (!Aborted(ctx.abortWord)) {
                Rows(ctx, 2, h - 3, [&](int y) {
                    for (int x = 2; x <= w - 3; ++x) {
                        std::int16_t& p = ctx.image[static_cast<std::ptrdiff_t>(y) * w + x];
                        if (p == kMarker) p = static_cast<std::int16_t>(MedianOfThree(scratch, w, x, y, 2));
                    }
                });
            }
        }
    }
    if (Aborted(ctx.abortWord)) return 0;
    if (ctx.report) ctx.report("Despeckle done");
    return 1;
}

}  // namespace kordex
