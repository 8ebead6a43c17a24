// Summing frames and the rounded mean.
#include "calibration/frame_average.h"

#include "platform/exact_math.h"

namespace kordex {

void FrameAverage::Add(const std::int16_t* frame)
{
    std::int64_t* sums = sums_.data();
    const std::size_t n = sums_.size();
    for (std::size_t i = 0; i < n; ++i) sums[i] += frame[i];
    ++count_;
}

void FrameAverage::Mean(std::int16_t* out) const
{
    const double count = static_cast<double>(count_);
    const std::size_t n = sums_.size();
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::int16_t>(platform::Near64(static_cast<double>(sums_[i]) / count));
}

}  // namespace kordex
