// The abort and running words of a job: plain int32_t fields of the public
// job records, shared by the worker, its band threads and the caller's
// thread. Every access goes through these helpers, as sequentially
// consistent atomics, so no reader ever sees a torn or stale word.
#pragma once

#include <atomic>
#include <cstdint>

namespace kordex {

inline std::int32_t LoadWord(const std::int32_t* word)
{
    return std::atomic_ref<std::int32_t>(*const_cast<std::int32_t*>(word)).load();
}

inline void StoreWord(std::int32_t* word, std::int32_t value)
{
    std::atomic_ref<std::int32_t>(*word).store(value);
}

// Sets the word to value when it is positive; true when it did.
inline bool ExchangeWordIfPositive(std::int32_t* word, std::int32_t value)
{
    std::atomic_ref<std::int32_t> w(*word);
    std::int32_t seen = w.load();
    while (seen > 0)
        if (w.compare_exchange_weak(seen, value)) return true;
    return false;
}

}  // namespace kordex
