// The histogram of an image and the percentile and cut routines on it, shared
// by the remap and the final stage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/stage_result.h"
#include "processing/stage_context.h"

namespace kordex {

struct Histogram {
    int min = 0;
    int max = 0;
    std::int64_t n = 0;
    std::vector<std::int64_t> counts;  // max - min + 1 bins, index = value - min
    int Range() const { return max - min; }
};

// The histogram of n samples (n >= 1).
Histogram BuildHistogram(const std::int16_t* samples, std::size_t n);

// target = trunc(n * percent / 100); the result is min + the number of bins
// added from index 0 until the running sum is not below the target. Never
// walks past the last bin (percentages above 100 give max + 1 at most).
int HistPercentile(std::int64_t n, double percent, const Histogram& h);

// The histogram cut: dark and bright per cent cut at both ends, every sample
// limited to the kept interval; with shift the interval's low end becomes 0.
// Returns kStageDone and fills the four values (min, max of the image and the new
// range as logged: 0..j-i with shift, low..high without) when it acted; 0
// when both per cents are below 0.00001 or the image spans 4 levels or fewer
// (then *low = *high = 0x8000). Runs on ParallelRows.
StageResult HistogramCut(const StageContext& ctx, double dark, double bright, bool shift, int* min, int* max, int* low,
                 int* high);

// Rescale to lo..hi: nothing (0) when lo == hi; -1 without change when the
// image is flat; else 1 with every sample near((v - min) * scale) + lo,
// scale = (hi - lo) / (max - min) in single precision. min and max receive
// the image's old range.
StageResult RescaleImage(const StageContext& ctx, int lo, int hi, int* min, int* max);

}  // namespace kordex
