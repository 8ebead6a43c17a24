// ParallelRows: splits a pixel pass into row bands on worker threads.
//
// The band count is NumParallelThreads clamped to 1..31; the split and the
// threads are platform::RunRowBands (rows from..to cut into bands of
// (to - from + 1) / count rows, the last band taking the rest, the first band
// on the calling thread, empty bands not run, all joined before the return).
#pragma once

#include <algorithm>
#include <functional>

#include "platform/row_bands.h"

namespace kordex {

using platform::RowBand;

inline constexpr int kMaxParallelThreads = 31;

// NumParallelThreads clamped to 1..31.
inline int ParallelThreadCount(int setting)
{
    return std::clamp(setting, 1, kMaxParallelThreads);
}

// The bands ParallelRows would run, in band order (empty ones included).
inline void SplitRows(int threadCount, int from, int to, const std::function<void(const RowBand&)>& visit)
{
    platform::SplitRows(ParallelThreadCount(threadCount), from, to, visit);
}

// Runs body once per non-empty band, concurrently; returns when all are done.
inline void ParallelRows(int threadCount, int from, int to, const std::function<void(const RowBand&)>& body)
{
    platform::RunRowBands(ParallelThreadCount(threadCount), from, to, body);
}

}  // namespace kordex
