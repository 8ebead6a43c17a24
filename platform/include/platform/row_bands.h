// Row bands: one pixel pass split over threads by rows.
//
// Rows from..to (inclusive) are cut into `count` bands of (to - from + 1) /
// count rows each, the last band taking the rest. Each band runs the same
// body on its own thread (the first band on the calling thread) and the call
// returns when all have ended, so the result never depends on the band count
// as long as bands write disjoint rows and read nothing a band writes. Bands
// that come out empty (fewer rows than bands) are not run. How many bands a
// pass uses is the caller's policy; this file only splits and runs.
#pragma once

#include <functional>

namespace platform {

struct RowBand {
    int index;     // 0 .. count - 1
    int firstRow;  // inclusive
    int lastRow;   // inclusive
};

// The bands RunRowBands would run, in band order (empty ones included).
// A count below 1 is taken as 1.
void SplitRows(int count, int from, int to, const std::function<void(const RowBand&)>& visit);

// Runs body once per non-empty band, concurrently, and returns when all are
// done. body runs on the calling thread for the first band and on a thread of
// its own for each other; a band whose thread cannot be started runs on the
// calling thread instead. body must not throw.
void RunRowBands(int count, int from, int to, const std::function<void(const RowBand&)>& body);

}  // namespace platform
