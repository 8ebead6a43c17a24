// The pixel-by-pixel mean of several frames, as the calibration set stores
// it: the frames are summed and each pixel becomes trunc(sum / count +
// 0.49999), a real division (so -2.5 gives -2). The sums are 64-bit, so any
// number of frames is safe; for the counts a recording uses they equal the
// 32-bit sums of the original arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kordex {

class FrameAverage {
public:
    explicit FrameAverage(std::size_t pixels) : sums_(pixels, 0) {}

    // Adds one frame of the constructor's pixel count.
    void Add(const std::int16_t* frame);
    int Count() const { return count_; }
    // The rounded mean into out (pixel count); Count() must be above 0.
    void Mean(std::int16_t* out) const;

private:
    std::vector<std::int64_t> sums_;
    int count_ = 0;
};

}  // namespace kordex
