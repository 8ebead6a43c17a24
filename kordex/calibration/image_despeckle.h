// ImageDespeckle: the first stage of the image-processing chain. On the cut
// and rotated image it finds isolated outliers against their eight
// neighbours and replaces them by the mean of their good neighbours, or, with
// a threshold of 0, smooths every pixel with a median-of-three; a second
// pass does the same on 5x5 windows.
#pragma once

#include "frame/stage_result.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kordex {

struct ImageDespeckleParams {
    int threshold = -1;       // DespeckleThreshold: < 0 off, 0 median passes, > 0 detection
    int numPasses = 1;        // DespeckleNumPasses
    int threshold5x5 = -1;    // "Despeckle5x5Threshold ": < 0 off, 0 median pass, > 0 detection
};

struct ImageDespeckleContext {
    std::int16_t* image = nullptr;  // width x height, the caller's, changed in place
    int width = 0;
    int height = 0;
    int threads = 1;                        // NumParallelThreads
    std::int32_t* abortWord = nullptr;      // the processing job's abort word (non-zero = stop); never null
    // Timed report lines (code 20) of the processing chain; may be empty.
    std::function<void(const std::string& text)> report;
    // The "$i" dump of a width x height buffer under a name, called only when
    // SaveTempImgProcess is on; may be empty.
    std::function<void(const std::string& name, const std::int16_t* buffer)> dump;
};

// Returns kStageDone, kStageSkipped (both thresholds negative, no report) or aborted.
// Reports "Despeckle start" and "Despeckle done". The scratch buffer is
// allocated here, once, before the passes.
StageResult ImageDespeckle(const ImageDespeckleContext& ctx, const ImageDespeckleParams& params);

// Median-of-three of the (2b+1) x (2b+1) window around (x, y) of src (row
// stride width): the mean, truncated toward zero, of the median and its two
// neighbours in the sorted window. b is 1 or 2; the window must lie inside.
int MedianOfThree(const std::int16_t* src, int width, int x, int y, int b);

// sum / 3 truncated toward zero, for sums of three 16-bit samples (|sum| <=
// 98304), by a multiplication in single precision that vector loops do
// cheaply: 1/3 in float lies a little above 1/3, so an exact third is never
// computed below its integer, and a remainder of 1 or 2 keeps the product a
// third away from the next one, far more than the rounding error.
inline int ThirdOfSum(int sum)
{
    return static_cast<int>(static_cast<float>(sum) * (1.0f / 3.0f));
}

}  // namespace kordex
