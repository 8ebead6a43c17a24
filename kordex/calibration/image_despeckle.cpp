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
// values (the 12th, 13th and 14th of 25), not only the median, and a
// division by three; both median passes get them from pruned comparator
// networks over windows of sorted columns (below), the per-pixel
// MedianOfThree from a partial sort.
#include "calibration/image_despeckle.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "frame/job_word.h"
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
    return LoadWord(word) != 0;
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

// The 5x5 median-of-three: each column of five is sorted once (lo to hi
// into s0 .. s4) and shared by the five windows that hold it. In a window of
// sorted columns the five rank rows are then sorted too (the columns stay
// sorted). The value at 1-based row i and column j then has at least i * j
// window values not above it and (6 - i) * (6 - j) not below it (itself
// counted), so only the 13 values with both products at most 14 can take
// the sorted positions 11, 12 and 13 (0-based); six values lie certainly
// below them, so these are positions 5, 6 and 7 of the 13. A 16-input
// odd-even merge sorting network cut down to 13 inputs gives them; the
// comparisons that serve none of the three outputs are left out.
KORDEX_VECTOR_CLONES
void SortColumns5(const std::int16_t* const* rows, std::int16_t* __restrict s0, std::int16_t* __restrict s1,
                  std::int16_t* __restrict s2, std::int16_t* __restrict s3, std::int16_t* __restrict s4, int n)
{
    const std::int16_t* __restrict r0 = rows[0];
    const std::int16_t* __restrict r1 = rows[1];
    const std::int16_t* __restrict r2 = rows[2];
    const std::int16_t* __restrict r3 = rows[3];
    const std::int16_t* __restrict r4 = rows[4];
    for (int k = 0; k < n; ++k) {
        std::int16_t a = r0[k], b = r1[k], c = r2[k], d = r3[k], e = r4[k];
        Order(a, b); Order(d, e); Order(c, e); Order(c, d); Order(a, d);
        Order(a, c); Order(b, e); Order(b, d); Order(b, c);
        s0[k] = a;
        s1[k] = b;
        s2[k] = c;
        s3[k] = d;
        s4[k] = e;
    }
}

// out[k]: the median-of-three of the window made of sorted columns k .. k + 4.
KORDEX_VECTOR_CLONES
void MedianOfThreeRow5(const std::int16_t* __restrict s0, const std::int16_t* __restrict s1,
                       const std::int16_t* __restrict s2, const std::int16_t* __restrict s3,
                       const std::int16_t* __restrict s4, std::int16_t* __restrict out, int n)
{
    for (int k = 0; k < n; ++k) {
        std::int16_t v0 = s0[k + 0], v1 = s0[k + 1], v2 = s0[k + 2], v3 = s0[k + 3], v4 = s0[k + 4];
        std::int16_t v5 = s1[k + 0], v6 = s1[k + 1], v7 = s1[k + 2], v8 = s1[k + 3], v9 = s1[k + 4];
        std::int16_t v10 = s2[k + 0], v11 = s2[k + 1], v12 = s2[k + 2], v13 = s2[k + 3], v14 = s2[k + 4];
        std::int16_t v15 = s3[k + 0], v16 = s3[k + 1], v17 = s3[k + 2], v18 = s3[k + 3], v19 = s3[k + 4];
        std::int16_t v20 = s4[k + 0], v21 = s4[k + 1], v22 = s4[k + 2], v23 = s4[k + 3], v24 = s4[k + 4];
        Order(v0, v1); Order(v3, v4); Order(v2, v4); Order(v2, v3); Order(v0, v3); Order(v1, v4);
        Order(v1, v3); Order(v5, v6); Order(v8, v9); Order(v7, v9); Order(v7, v8); Order(v5, v8);
        Order(v5, v7); Order(v6, v9); Order(v6, v8); Order(v6, v7); Order(v10, v11); Order(v13, v14);
        Order(v12, v14); Order(v12, v13); Order(v10, v13); Order(v10, v12); Order(v11, v14); Order(v11, v13);
        Order(v11, v12); Order(v15, v16); Order(v18, v19); Order(v17, v19); Order(v17, v18); Order(v15, v18);
        Order(v15, v17); Order(v16, v19); Order(v16, v18); Order(v16, v17); Order(v20, v21); Order(v23, v24);
        Order(v22, v24); Order(v22, v23); Order(v20, v23); Order(v20, v22); Order(v21, v24); Order(v21, v23);
        Order(v21, v22); Order(v3, v4); Order(v7, v8); Order(v9, v11); Order(v12, v13); Order(v15, v16);
        Order(v17, v20); Order(v3, v7); Order(v4, v8); Order(v9, v12); Order(v11, v13); Order(v15, v17);
        Order(v16, v20); Order(v4, v7); Order(v11, v12); Order(v16, v17); Order(v3, v9); Order(v4, v11);
        Order(v7, v12); Order(v8, v13); Order(v15, v21); Order(v7, v9); Order(v8, v11); Order(v17, v21);
        Order(v4, v7); Order(v8, v9); Order(v11, v12); Order(v16, v17); Order(v20, v21); Order(v3, v15);
        Order(v4, v16); Order(v7, v17); Order(v8, v20); Order(v9, v21); Order(v9, v15); Order(v11, v16);
        Order(v12, v17); Order(v13, v20); Order(v8, v11); Order(v12, v15); Order(v13, v16); Order(v11, v12);
        Order(v13, v15);
        out[k] = static_cast<std::int16_t>(ThirdOfSum(v11 + v12 + v13));
    }
}

// The median-of-three pass over every pixel at least b (1 or 2) from each
// edge, reading a copy of the image taken first.
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
    Rows(ctx, 2, ctx.height - 3, [&](int y) {
        const std::int16_t* centre = scratch + static_cast<std::ptrdiff_t>(y) * w;
        std::int16_t* out = ctx.image + static_cast<std::ptrdiff_t>(y) * w + 2;
        std::int16_t s[5][kMedianChunk + 4];
        for (int x0 = 0; x0 < w - 4; x0 += kMedianChunk) {
            const int n = std::min(kMedianChunk, w - 4 - x0);
            const std::int16_t* rows[5];
            for (int r = 0; r < 5; ++r) rows[r] = centre + static_cast<std::ptrdiff_t>(r - 2) * w + x0;
            SortColumns5(rows, s[0], s[1], s[2], s[3], s[4], n + 4);
            MedianOfThreeRow5(s[0], s[1], s[2], s[3], s[4], out + x0, n);
        }
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

StageResult ImageDespeckle(const ImageDespeckleContext& ctx, const ImageDespeckleParams& params)
{
    const int a = params.threshold, a5 = params.threshold5x5;
    if (a < 0 && a5 < 0) return kStageSkipped;
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
    if (Aborted(ctx.abortWord)) return kStageSkipped;
    if (ctx.report) ctx.report("Despeckle done");
    return kStageDone;
}

}  // namespace kordex
