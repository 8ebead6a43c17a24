// The histogram panel's computations: display range, value-to-row mapping,
// resampling of the image histogram to the plot's rows, and tick steps
// (also used by the profile chart).
#pragma once

#include <cstdint>
#include <vector>

#include "grayscope/view/viewer_image.h"

namespace grayscope {

struct HistogramRange {
    int min = 0;
    int max = 4095;
    int scale = 500;
};

// Scale below 1 becomes 500; min >= max becomes 0..4095.
HistogramRange EffectiveRange(int min, int max, int scale);

// y of value v in a plot of n rows whose area ends at bottom:
// bottom - round((v - min) * n / (max - min)) - 13.
int HistogramY(int v, const HistogramRange& range, int n, int bottom);

// Resamples the image histogram to rows over a..b (a < b, rows >= 2). Row of
// value v: (v - a) * (rows - 1) / (b - a), truncated. When the image's min and
// max span at least as many rows as values (upsampling), each row between
// them takes the counter of value a + trunc((b - a) / (rows - 1) * i) (0
// outside the image's values). Otherwise the counters of the image values in
// a..b are summed into their rows and a row holding k > 1 values becomes
// (sum * 32 / k + 15) / 32. Rows outside the image's values stay 0. Empty
// when min and max fall into the same row (nothing is drawn).
std::vector<std::uint32_t> ResampleHistogram(const ViewerImage& image, int a, int b, int rows);

// Length of a bar: count * plotWidth / fullScale, fullScale =
// max(1, pixels / 100000) * scale (integer divisions).
int BarLength(std::uint32_t count, int plotWidth, std::int64_t pixels, int scale);

struct TickSteps {
    int step = 1;
    int first = 0;
    int last = 0;
};

// Tick step for lo..hi and about `wanted` ticks: hi - lo <= 4 gives step 1
// from lo to hi; otherwise the first of 5, 10, 20, 25, 40, 50, 100, ... with
// (hi - lo) / step below max(wanted, 3); ticks run from lo - (lo mod step) to
// hi rounded up to a multiple of step.
TickSteps ChooseTicks(int lo, int hi, int wanted);

}  // namespace grayscope
