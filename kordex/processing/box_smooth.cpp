// Box smoothing: rows into a scratch image, then columns back.
//
// The column pass runs the running sums of a whole band of columns along the
// rows at once (one sum per column), so it reads memory row by row and the
// inner loop vectorises; each column's result is the same as a running mean
// along that column alone. Sums are 64-bit, and the first window's sum is
// formed from the clamped edge samples by count, so any radius (even far
// beyond the image) costs one pass.
#include "processing/box_smooth.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "frame/parallel_rows.h"

namespace kordex {
namespace {

bool Aborted(const std::int32_t* word)
{
    return word && std::atomic_ref<const std::int32_t>(*word).load(std::memory_order_relaxed) != 0;
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

// 1/d raised by a few units in the last place: sum * InverseOf(d), truncated
// toward zero, equals sum / d (C division) for |sum| < 2^31 and d < 2^16. An
// exact quotient can no longer fall just below its integer, and an inexact
// one stays at least 1/d away from the next integer, far more than the
// error of two roundings (about 2^-51 relative).
double InverseOf(int d)
{
    return (1.0 / d) * (1.0 + 0x1p-50);
}

inline std::int16_t Quotient(std::int32_t sum, double inverse)
{
    return static_cast<std::int16_t>(static_cast<std::int32_t>(static_cast<double>(sum) * inverse));
}

// One row with 32-bit sums, the edge regions apart from the middle so the
// middle loop has no clamping.
void SmoothRowFast(const std::int16_t* src, std::int16_t* dst, int n, int r, double inverse)
{
    std::int32_t sum = static_cast<std::int32_t>(FirstWindowSum(r, n, [src](int k) { return src[k]; }));
    const int first = src[0], last = src[n - 1];
    int k = 0;
    for (; k < n && (k - r < 0 || k + r + 1 > n - 1); ++k) {
        dst[k] = Quotient(sum, inverse);
        const int in = k + r + 1 > n - 1 ? last : src[k + r + 1];
        const int out = k - r < 0 ? first : src[k - r];
        sum += in - out;
    }
    for (; k < n - r - 1; ++k) {
        dst[k] = Quotient(sum, inverse);
        sum += src[k + r + 1] - src[k - r];
    }
    for (; k < n; ++k) {
        dst[k] = Quotient(sum, inverse);
        const int in = k + r + 1 > n - 1 ? last : src[k + r + 1];
        const int out = k - r < 0 ? first : src[k - r];
        sum += in - out;
    }
}

// A band of columns walked down the rows with one 32-bit sum per column.
void SmoothColumnsFast(const std::int16_t* tmp, std::int16_t* dst, int width, int h, int x0, int cols, int r,
                       double inverse, const std::int32_t* abortWord)
{
    std::vector<std::int32_t> sums(static_cast<std::size_t>(cols), 0);
    std::int32_t* s = sums.data();
    auto row = [&](int y) { return tmp + static_cast<std::size_t>(std::clamp(y, 0, h - 1)) * width + x0; };
    const int last = std::min(r, h - 1);
    for (int c = 0; c < cols; ++c) s[c] = r * row(0)[c] + (r - last) * row(h - 1)[c];
    for (int k = 0; k <= last; ++k) {
        const std::int16_t* p = row(k);
        for (int c = 0; c < cols; ++c) s[c] += p[c];
    }
    for (int y = 0; y < h; ++y) {
        std::int16_t* out = dst + static_cast<std::size_t>(y) * width + x0;
        for (int c = 0; c < cols; ++c) out[c] = Quotient(s[c], inverse);
        const std::int16_t* in = row(y + r + 1 > h - 1 ? h - 1 : y + r + 1);
        const std::int16_t* gone = row(y - r);
        for (int c = 0; c < cols; ++c) s[c] += in[c] - gone[c];
        if (Aborted(abortWord)) return;
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
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const std::size_t off = static_cast<std::size_t>(y) * width;
            if (fast)
                SmoothRowFast(src + off, tmp + off, width, radius, inverse);
            else
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
