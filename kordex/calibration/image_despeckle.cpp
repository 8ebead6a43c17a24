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
//
// The median-of-three needs the 4th, 5th and 6th of the nine sorted window
// values, not only the median, and a division by three; the 3x3 pass gets
// them from a pruned sorting network over column-sorted rows (below).
#include "calibration/image_despeckle.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "frame/parallel_rows.h"
#include "frame/vector_clones.h"
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

// The 3x3 median-of-three over whole rows. The three samples of each column
// are sorted once (lo <= mid <= hi) and shared by the three windows that hold
// the column; the remaining comparisons of a 25-comparator sorting network
// for nine values (whose first nine sort the three columns) give the sorted
// positions 3, 4 and 5, and the compiler drops the comparisons that only
// serve the others. Both loops are branch-free min/max over plain rows.
constexpr int kMedianChunk = 1024;

inline void Order(std::int16_t& a, std::int16_t& b)
{
    const std::int16_t x = a, y = b;
    a = x < y ? x : y;
    b = x < y ? y : x;
}

KORDEX_VECTOR_CLONES
void SortColumns3(const std::int16_t* __restrict up, const std::int16_t* __restrict centre,
                  const std::int16_t* __restrict down, std::int16_t* __restrict lo, std::int16_t* __restrict mid,
                  std::int16_t* __restrict hi, int n)
{
    for (int k = 0; k < n; ++k) {
        std::int16_t a = up[k], b = centre[k], c = down[k];
        Order(a, b);
        Order(b, c);
        Order(a, b);
        lo[k] = a;
        mid[k] = b;
        hi[k] = c;
    }
}

// out[k]: the median-of-three of the window made of sorted columns k, k + 1
// and k + 2.
KORDEX_VECTOR_CLONES
void MedianOfThreeRow(const std::int16_t* __restrict lo, const std::int16_t* __restrict mid,
                      const std::int16_t* __restrict hi, std::int16_t* __restrict out, int n)
{
    for (int k = 0; k < n; ++k) {
        std::int16_t v0 = lo[k], v1 = mid[k], v2 = hi[k];
        std::int16_t v3 = lo[k + 1], v4 = mid[k + 1], v5 = hi[k + 1];
        std::int16_t v6 = lo[k + 2], v7 = mid[k + 2], v8 = hi[k + 2];
        Order(v0, v3);
        Order(v3, v6);
        Order(v0, v3);
        Order(v1, v4);
        Order(v4, v7);
        Order(v1, v4);
        Order(v2, v5);
        Order(v5, v8);
        Order(v2, v5);
        Order(v1, v3);
        Order(v5, v7);
        Order(v2, v6);
        Order(v4, v6);
        Order(v2, v4);
        Order(v2, v3);
        Order(v5, v6);
        out[k] = static_cast<std::int16_t>(ThirdOfSum(v3 + v4 + v5));
    }
}

void MedianPass(const ImageDespeckleContext& ctx, std::int16_t* scratch, int b)
{
    const int w = ctx.width;
    Rows(ctx, 0, ctx.height - 1, [&](int y) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * w;
        std::memcpy(scratch + row, ctx.image + row, static_cast<std::size_t>(w) * sizeof(std::int16_t));
    });
    if (Aborted(ctx.abortWord)) return;
    if (b == 1) {
        Rows(ctx, 1, ctx.height - 2, [&](int y) {
            const std::int16_t* centre = scratch + static_cast<std::ptrdiff_t>(y) * w;
            std::int16_t* out = ctx.image + static_cast<std::ptrdiff_t>(y) * w + 1;
            std::int16_t lo[kMedianChunk + 2], mid[kMedianChunk + 2], hi[kMedianChunk + 2];
            for (int x0 = 0; x0 < w - 2; x0 += kMedianChunk) {
                const int n = std::min(kMedianChunk, w - 2 - x0);
                SortColumns3(centre - w + x0, centre + x0, centre + w + x0, lo, mid, hi, n + 2);
                MedianOfThreeRow(lo, mid, hi, out + x0, n);
            }
        });
        return;
    }
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
    // Every pass writes the scratch buffer (clears or copies it) before
    // reading it, so it is not zeroed here.
    const auto scratchBuffer = std::make_unique_for_overwrite<std::int16_t[]>(pixels);
    std::int16_t* scratch = scratchBuffer.get();

    if (a == 0) {
        for (int pass = 1; pass <= params.numPasses && !Aborted(ctx.abortWord); ++pass) MedianPass(ctx, scratch, 1);
    } else if (a > 0) {
        const int threshold = std::max(a, 1);
        for (int pass = 1; pass <= params.numPasses && !Aborted(ctx.abortWord); ++pass) {
            std::fill(scratch, scratch + pixels, 0);
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
            std::fill(scratch, scratch + pixels, 0);
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
