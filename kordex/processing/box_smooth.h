// BoxSmooth: the separable box smoothing of the processing chain.
#pragma once

#include <cstdint>

namespace kordex {

// Smooths the width x height image in place with the running mean of
// 2*radius+1 samples, first along every row into scratch, then along every
// column back into image (edge samples repeat; sums divided with truncation
// toward zero). Rows and then columns are split into bands over threads
// (NumParallelThreads). scratch: caller-owned, width x height samples, or
// null to allocate one here. abortWord: polled after every group of four
// rows (their sums run side by side) in the row pass and after every row in
// the column pass; may be null. Returns 0 when an abort was seen, else 1. radius <= 0 leaves
// the image as it is.
int BoxSmooth(int width, int height, int radius, std::int16_t* image, const std::int32_t* abortWord, int threads,
              std::int16_t* scratch = nullptr);

// The same from src into dst (src unchanged; dst may equal src).
int BoxSmoothInto(int width, int height, int radius, const std::int16_t* src, std::int16_t* dst,
                  const std::int32_t* abortWord, int threads, std::int16_t* scratch = nullptr);

}  // namespace kordex
