// ViewerImage: a loaded 16-bit frame with the statistics the display needs.
//
// Samples are taken as signed 16-bit values, so file values above 32767 count
// as negative. The histogram has one 32-bit counter per value from min to max;
// the median is min + k for the first index k at which the running sum reaches
// half the pixel count (rounded down).
#pragma once

#include <cstdint>
#include <vector>

namespace grayscope {

struct ViewerImage {
    int width = 0;
    int height = 0;
    std::vector<std::int16_t> pixels;      // width * height, row by row
    int min = 0;
    int max = 0;
    int range = 0;                         // max - min + 1
    float mean = 0.0f;
    int median = 0;
    std::vector<std::uint32_t> histogram;  // range counters, [i] = count of min + i

    bool Empty() const { return pixels.empty(); }
    std::int64_t PixelCount() const { return static_cast<std::int64_t>(width) * height; }
    int At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Computes min, max, range, mean, median and histogram from image->pixels.
// An empty image gets all zero statistics and no histogram.
void BuildStatistics(ViewerImage* image);

}  // namespace grayscope
