// Row bands: a pixel pass split into bands of rows that run on their own
// threads (the first on the calling thread) and are joined before the call
// returns (platform::RunRowBands). Every band runs the same body on disjoint
// rows, so the result does not depend on the number of bands. Small images run
// as one band: starting threads would cost more than it saves.
#pragma once

#include <functional>

namespace grayscope {

// Bands used for a pass over rows x width pixels: one below about 256 K
// pixels, else the hardware threads (1..8).
int BandCount(long long pixels);

// Runs body(firstRow, lastRow) (inclusive) for each band of rows 0..rows-1;
// bands is clamped to 1..rows.
void RunRowBands(int rows, int bands, const std::function<void(int, int)>& body);

}  // namespace grayscope
