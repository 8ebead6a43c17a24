// TrimmedMode: the robust "level" of a frame or of a window of it -- the most
// frequent value after 15 per cent of the samples are trimmed at each end.
// It names the bright calibration frames, is the reference of the automatic
// bad-pixel tests and the level of a gain point.
//
// The histogram runs from the samples' minimum to their maximum. With
// t = n * 15 / 100, whole bins are removed from the top until at least t
// samples are gone and, independently, from the bottom likewise (nothing
// when t is 0). Of the bins left, the one with the largest count wins, the
// lowest value on a tie. When the two trims cross, the result is the first
// bin above the bottom trim -- but never above the lowest bin the top trim
// removed: when both trims end in the same bin (a frame of one value, say),
// that bin is the level, not the value above it, which no sample holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kordex {

// Reusable histogram storage, so a pass calls TrimmedMode per window without
// allocating (grown once to the widest value range seen).
struct TrimmedModeScratch {
    std::vector<std::uint32_t> counts;
};

// The trimmed mode of n samples (n >= 1). scratch is the caller's; one per
// thread.
int TrimmedMode(const std::int16_t* samples, std::size_t n, TrimmedModeScratch& scratch);

// The same with its own scratch.
int TrimmedMode(const std::int16_t* samples, std::size_t n);

// The trimmed mode of the rectangle rows top..bottom, columns left..right
// (inclusive) of a width-wide frame; the rectangle must not be empty.
int TrimmedModeOfRegion(const std::int16_t* frame, int width, int left, int top, int right, int bottom,
                        TrimmedModeScratch& scratch);

}  // namespace kordex
