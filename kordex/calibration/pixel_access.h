// Relaxed atomic access to frame and map pixels in the passes whose bands read
// a few rows of their neighbours' bands (bad-pixel correction, auxiliary
// despeckle). Those neighbours may or may not be corrected yet when they are
// read -- accepted by design -- but the accesses must not be data races.
// On the target machines these compile to plain 16-bit loads and stores.
#pragma once

#include <atomic>
#include <cstdint>

namespace kordex {

inline std::int16_t LoadPixel(std::int16_t* p)
{
    return std::atomic_ref<std::int16_t>(*p).load(std::memory_order_relaxed);
}

inline void StorePixel(std::int16_t* p, std::int16_t value)
{
    std::atomic_ref<std::int16_t>(*p).store(value, std::memory_order_relaxed);
}

}  // namespace kordex
