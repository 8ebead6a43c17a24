// ParallelRows: splits a pixel pass into row bands on worker threads.
//
// Rows from..to (inclusive) are cut into `count` bands of (to - from + 1) /
// count rows each, the last band taking the rest; count is NumParallelThreads
// clamped to 1..31. Each band runs the same body on its own thread (the first
// band on the calling thread) and the call returns when all have ended, so the
// result never depends on the thread count as long as bands write disjoint
// rows. Bands that come out empty (fewer rows than threads) are not run.
#pragma once

#include <functional>

namespace kordex {

struct RowBand {
    int index;     // 0 .. count - 1
    int firstRow;  // inclusive
    int lastRow;   // inclusive
};

inline constexpr int kMaxParallelThreads = 31;

// NumParallelThreads clamped to 1..31.
int ParallelThreadCount(int setting);

// The bands ParallelRows would run, in band order (empty ones included).
void SplitRows(int threadCount, int from, int to, const std::function<void(const RowBand&)>& visit);

// Runs body once per non-empty band, concurrently; returns when all are done.
void ParallelRows(int threadCount, int from, int to, const std::function<void(const RowBand&)>& body);

}  // namespace kordex
