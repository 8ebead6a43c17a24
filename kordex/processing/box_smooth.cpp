// Box smoothing: rows into a scratch image, then columns back.
//
// The row pass runs the running sums of four rows side by side (independent
// additions), collecting the sums of a chunk of samples before dividing the
// whole chunk in one vectorised loop. The column pass runs the running sums
// of a chunk of columns along the rows at once (one sum per column), so it
// reads memory row by row and the inner loop vectorises; each column's result
// is the same as a running mean along that column alone. The first window's
// sum is formed from the clamped edge samples by count, so any radius (even
// far beyond the image) costs one pass. Windows of fewer than 65536 samples
// use 32-bit sums and a multiplication by the rounded-up inverse that gives
// exactly the truncated quotient; wider ones 64-bit sums and a division.
#include "processing/box_smooth.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "frame/job_word.h"
#include "frame/parallel_rows.h"
#include "frame/vector_clones.h"
#include "platform/exact_math.h"

namespace kordex {
namespace {

bool Aborted(const std::int32_t* word)
{
    return word && LoadWord(word) != 0;
}

// The sum over positions -r..r clamped into 0..n-1 of at(position).
template <typename At>
std::int64_t FirstWindowSum(int r, int n, At at)
{
    const int last = std::min(r, n - 1);
    std::int64_t sum = static_cast<std::int64_t>(r) * at(0);
    for (int k = 0; k <= last; ++k) sum += at(k);
    sum += (static_cast<std::int64_t>(r) - last) * at(n - 1);
    return sum;
}

// One row: the running mean with clamped positions, sum in 64 bits.
void SmoothRow(const std::int16_t* src, std::int16_t* dst, int n, int r)
{
    const std::int64_t width = 2 * static_cast<std::int64_t>(r) + 1;
    std::int64_t sum = FirstWindowSum(r, n, [src](int k) { return src[k]; });
    for (int k = 0; k < n; ++k) {
        dst[k] = static_cast<std::int16_t>(sum / width);
        const int in = static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(k) + r + 1, n - 1));
        const int out = static_cast<int>(std::max<std::int64_t>(static_cast<std::int64_t>(k) - r, 0));
        sum += src[in] - src[out];
    }
}

using platform::InverseOf;

// The quotient always lies in -32768..32767 (a mean of 16-bit samples); the
// clamp changes no value but lets the compiler pack with saturation.
inline std::int16_t Quotient(std::int32_t sum, double inverse)
{
    const std::int32_t q = static_cast<std::int32_t>(static_cast<double>(sum) * inverse);
    return static_cast<std::int16_t>(std::clamp(q, -32768, 32767));
}

KORDEX_VECTOR_CLONES
void DivideRun(const std::int32_t* __restrict sums, std::int16_t* __restrict out, int n, double inverse)
{
    for (int k = 0; k < n; ++k) out[k] = Quotient(sums[k], inverse);
}

// One row of the column pass: the means of the current windows into out,
// then each window moved down by one row (add `in`, drop `gone`).
KORDEX_VECTOR_CLONES
void ColumnStep(std::int32_t* __restrict sums, std::int16_t* __restrict out, const std::int16_t* in,
                const std::int16_t* gone, int n, double inverse)
{
    for (int c = 0; c < n; ++c) {
        out[c] = Quotient(sums[c], inverse);
        sums[c] += in[c] - gone[c];
    }
}

// Window sums and their quotients go through small stack buffers: a serial
// loop forms the running sums (of kGroup rows at once, so their additions
// do not wait on one another), then a plain loop divides a whole chunk, which
// vectorises. Nothing is allocated inside the passes.
constexpr int kChunk = 512;
constexpr int kGroup = 4;

// G rows (row stride `stride`, n samples each) with 32-bit sums.
template <int G>
void SmoothRowGroup(const std::int16_t* src, std::int16_t* dst, std::size_t stride, int n, int r, double inverse)
{
    std::int32_t sum[G];
    const std::int16_t* in[G];
    std::int16_t* out[G];
    for (int g = 0; g < G; ++g) {
        in[g] = src + g * stride;
        out[g] = dst + g * stride;
        sum[g] = static_cast<std::int32_t>(FirstWindowSum(r, n, [p = in[g]](int k) { return p[k]; }));
    }
    alignas(64) std::int32_t buf[G][kChunk];
    // Centres k of [from, to) whose window ends need no clamping, and those
    // that do.
    const int plainFrom = std::min(r, n), plainTo = std::max(plainFrom, n - r - 1);
    for (int k0 = 0; k0 < n; k0 += kChunk) {
        const int k1 = std::min(n, k0 + kChunk);
        auto clamped = [&](int from, int to) {
            for (int k = from; k < to; ++k) {
                const int add = std::min(k + r + 1, n - 1), drop = std::max(k - r, 0);
                for (int g = 0; g < G; ++g) {
                    buf[g][k - k0] = sum[g];
                    sum[g] += in[g][add] - in[g][drop];
                }
            }
        };
        const int a = std::clamp(plainFrom, k0, k1), b = std::clamp(plainTo, k0, k1);
        clamped(k0, a);
        for (int k = a; k < b; ++k)
            for (int g = 0; g < G; ++g) {
                buf[g][k - k0] = sum[g];
                sum[g] += in[g][k + r + 1] - in[g][k - r];
            }
        clamped(b, k1);
        for (int g = 0; g < G; ++g) DivideRun(buf[g], out[g] + k0, k1 - k0, inverse);
    }
}

void SmoothRowsFast(const std::int16_t* src, std::int16_t* dst, int width, int firstRow, int lastRow, int r,
                    double inverse, const std::int32_t* abortWord)
{
    int y = firstRow;
    for (; y + kGroup - 1 <= lastRow; y += kGroup) {
        const std::size_t off = static_cast<std::size_t>(y) * width;
        SmoothRowGroup<kGroup>(src + off, dst + off, width, width, r, inverse);
        if (Aborted(abortWord)) return;
    }
    for (; y <= lastRow; ++y) {
        const std::size_t off = static_cast<std::size_t>(y) * width;
        SmoothRowGroup<1>(src + off, dst + off, width, width, r, inverse);
        if (Aborted(abortWord)) return;
    }
}

// A band of columns walked down the rows with one 32-bit sum per column, in
// chunks of kChunk columns.
void SmoothColumnsFast(const std::int16_t* tmp, std::int16_t* dst, int width, int h, int x0, int cols, int r,
                       double inverse, const std::int32_t* abortWord)
{
    alignas(64) std::int32_t s[kChunk];
    const int last = std::min(r, h - 1);
    for (int c0 = 0; c0 < cols; c0 += kChunk) {
        const int n = std::min(kChunk, cols - c0);
        auto row = [&](int y) { return tmp + static_cast<std::size_t>(std::clamp(y, 0, h - 1)) * width + x0 + c0; };
        const std::int16_t* top = row(0);
        const std::int16_t* bottom = row(h - 1);
        for (int c = 0; c < n; ++c) s[c] = r * top[c] + (r - last) * bottom[c];
        for (int k = 0; k <= last; ++k) {
            const std::int16_t* p = row(k);
            for (int c = 0; c < n; ++c) s[c] += p[c];
        }
        for (int y = 0; y < h; ++y) {
            ColumnStep(s, dst + static_cast<std::size_t>(y) * width + x0 + c0, row(y + r + 1), row(y - r), n, inverse);
            if (Aborted(abortWord)) return;
        }
    }
}

}  // namespace

int BoxSmoothInto(int width, int height, int radius, const std::int16_t* src, std::int16_t* dst,
                  const std::int32_t* abortWord, int threads, std::int16_t* scratch)
{
    if (width <= 0 || height <= 0) return 1;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (radius <= 0) {
        if (dst != src) std::copy(src, src + pixels, dst);
        return Aborted(abortWord) ? 0 : 1;
    }
    std::vector<std::int16_t> own;
    if (!scratch) {
        own.resize(pixels);
        scratch = own.data();
    }
    std::int16_t* tmp = scratch;
    // Windows of fewer than 65536 samples keep every sum inside 32 bits and
    // take the vectorisable path.
    const bool fast = radius < 32767;
    const double inverse = InverseOf(2 * radius + 1);
    ParallelRows(threads, 0, height - 1, [&](const RowBand& band) {
        if (fast) {
            SmoothRowsFast(src, tmp, width, band.firstRow, band.lastRow, radius, inverse, abortWord);
            return;
        }
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const std::size_t off = static_cast<std::size_t>(y) * width;
            SmoothRow(src + off, tmp + off, width, radius);
            if (Aborted(abortWord)) return;
        }
    });
    if (Aborted(abortWord)) return 0;
    const std::int64_t win = 2 * static_cast<std::int64_t>(radius) + 1;
    const int r = radius, h = height;
    if (fast) {
        ParallelRows(threads, 0, width - 1, [&](const RowBand& band) {
            SmoothColumnsFast(tmp, dst, width, height, band.firstRow, band.lastRow - band.firstRow + 1, radius,
                              inverse, abortWord);
        });
        return Aborted(abortWord) ? 0 : 1;
    }
    // Columns in bands: running sums per column, walked down the rows.
    ParallelRows(threads, 0, width - 1, [&](const RowBand& band) {
        const int x0 = band.firstRow, cols = band.lastRow - band.firstRow + 1;
        std::vector<std::int64_t> sum(static_cast<std::size_t>(cols), 0);
        std::int64_t* s = sum.data();
        auto row = [&](std::int64_t y) {
            return tmp + static_cast<std::size_t>(std::clamp<std::int64_t>(y, 0, h - 1)) * width + x0;
        };
        const int last = std::min(r, h - 1);
        for (int c = 0; c < cols; ++c) s[c] = static_cast<std::int64_t>(r) * row(0)[c];
        for (int k = 0; k <= last; ++k) {
            const std::int16_t* p = row(k);
            for (int c = 0; c < cols; ++c) s[c] += p[c];
        }
        for (int c = 0; c < cols; ++c) s[c] += (static_cast<std::int64_t>(r) - last) * row(h - 1)[c];
        for (int y = 0; y < h; ++y) {
            std::int16_t* out = dst + static_cast<std::size_t>(y) * width + x0;
            for (int c = 0; c < cols; ++c) out[c] = static_cast<std::int16_t>(s[c] / win);
            const std::int16_t* in = row(static_cast<std::int64_t>(y) + r + 1);
            const std::int16_t* gone = row(static_cast<std::int64_t>(y) - r);
            for (int c = 0; c < cols; ++c) s[c] += in[c] - gone[c];
            if (Aborted(abortWord)) return;
        }
    });
    return Aborted(abortWord) ? 0 : 1;
}

int BoxSmooth(int width, int height, int radius, std::int16_t* image, const std::int32_t* abortWord, int threads,
              std::int16_t* scratch)
{
    return BoxSmoothInto(width, height, radius, image, image, abortWord, threads, scratch);
}

}  // namespace kordex
