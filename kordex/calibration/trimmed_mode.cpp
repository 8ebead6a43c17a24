// The 15 per cent trimmed mode over a histogram of the sample range.
#include "calibration/trimmed_mode.h"

#include <algorithm>

namespace kordex {
namespace {

// The histogram counts[0..bins-1] holds values min..min+bins-1; n samples.
int ModeOfHistogram(const std::uint32_t* counts, int bins, int min, std::size_t n)
{
    const std::size_t t = n * 15 / 100;
    int top = bins - 1;  // highest bin kept by the top trim
    int bottom = 0;      // lowest bin kept by the bottom trim
    if (t > 0) {
        std::size_t removed = 0;
        while (removed < t) removed += counts[top--];
        removed = 0;
        while (removed < t) removed += counts[bottom++];
    }
    if (bottom > top) return min + std::min(bottom, top + 1);
    int best = bottom;
    for (int b = bottom + 1; b <= top; ++b)
        if (counts[b] > counts[best]) best = b;
    return min + best;
}

}  // namespace

int TrimmedMode(const std::int16_t* samples, std::size_t n, TrimmedModeScratch& scratch)
{
    if (n == 0) return 0;
    const auto [lo, hi] = std::minmax_element(samples, samples + n);
    const int min = *lo;
    const int bins = *hi - min + 1;
    if (scratch.counts.size() < static_cast<std::size_t>(bins)) scratch.counts.resize(static_cast<std::size_t>(bins));
    std::fill_n(scratch.counts.begin(), bins, 0u);
    std::uint32_t* counts = scratch.counts.data();
    for (std::size_t i = 0; i < n; ++i) ++counts[samples[i] - min];
    return ModeOfHistogram(counts, bins, min, n);
}

int TrimmedMode(const std::int16_t* samples, std::size_t n)
{
    TrimmedModeScratch scratch;
    return TrimmedMode(samples, n, scratch);
}

int TrimmedModeOfRegion(const std::int16_t* frame, int width, int left, int top, int right, int bottom,
                        TrimmedModeScratch& scratch)
{
    int min = 32767, max = -32768;
    for (int y = top; y <= bottom; ++y) {
        const std::int16_t* row = frame + static_cast<std::ptrdiff_t>(y) * width;
        for (int x = left; x <= right; ++x) {
            min = std::min<int>(min, row[x]);
            max = std::max<int>(max, row[x]);
        }
    }
    const int bins = max - min + 1;
    if (scratch.counts.size() < static_cast<std::size_t>(bins)) scratch.counts.resize(static_cast<std::size_t>(bins));
    std::fill_n(scratch.counts.begin(), bins, 0u);
    std::uint32_t* counts = scratch.counts.data();
    for (int y = top; y <= bottom; ++y) {
        const std::int16_t* row = frame + static_cast<std::ptrdiff_t>(y) * width;
        for (int x = left; x <= right; ++x) ++counts[row[x] - min];
    }
    const std::size_t n = static_cast<std::size_t>(bottom - top + 1) * static_cast<std::size_t>(right - left + 1);
    return ModeOfHistogram(counts, bins, min, n);
}

}  // namespace kordex
