// LockWithin: takes a report lock for a bounded time. A close uses it for its
// closing report, so a caller's callback that blocks cannot hold the close
// (the closing report then goes to the log only).
#pragma once

#include <chrono>
#include <mutex>
#include <thread>

namespace kordex {

// How long a close waits for a callback still in progress.
inline constexpr int kCallbackGraceMs = 500;

// Tries the lock once a millisecond for up to ms milliseconds.
inline bool LockWithin(std::recursive_mutex& mutex, int ms)
{
    for (int tries = 0;; ++tries) {
        if (mutex.try_lock()) return true;
        if (tries >= ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace kordex
