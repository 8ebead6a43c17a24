#include "frame/caller_buffer.h"

#include <algorithm>
#include <cstring>

namespace kordex {

bool CallerBuffer::Read(std::int16_t* dst)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (buffer_ == nullptr) return false;
    std::memcpy(dst, buffer_, samples_ * sizeof(std::int16_t));
    return true;
}

bool CallerBuffer::Write(std::size_t first, const std::int16_t* src, std::size_t count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (buffer_ == nullptr || first >= samples_) return false;
    count = std::min(count, samples_ - first);
    std::memcpy(buffer_ + first, src, count * sizeof(std::int16_t));
    return true;
}

void CallerBuffer::Shut()
{
    std::lock_guard<std::mutex> lock(mutex_);
    buffer_ = nullptr;
}

}  // namespace kordex
