// Row bands: one pixel pass split over threads by rows.
//
// Rows 0 ... rows - 1 are cut into BandCount(threads, rows) bands of
// rows / count rows (the last takes the rest); the first band runs on the
// calling thread, the others on threads of their own, and the call returns
// when all have ended (platform::RunRowBands). A pass may be split only when
// every output element is computed from inputs no band writes, by the same
// expression in the same order as on one thread: then the result is
// bit-identical for every thread count. Scratch buffers a band needs are
// allocated before the pass, one per band index.
#pragma once

#include <algorithm>
#include <functional>

#include "platform/row_bands.h"

namespace toneforge {

inline constexpr int kMaxThreads = 31;

using platform::RowBand;

// threads clamped to 1 ... min(kMaxThreads, rows) (at least 1).
inline int BandCount(int threads, int rows)
{
    return std::max(1, std::min({threads, kMaxThreads, rows}));
}

// Runs body once per band. A band whose thread cannot be started runs on the
// calling thread instead. body must not throw.
inline void ForRowBands(int threads, int rows, const std::function<void(const RowBand&)>& body)
{
    if (rows <= 0)
        return;
    platform::RunRowBands(BandCount(threads, rows), 0, rows - 1, body);
}

}  // namespace toneforge
