// Writing a transport stream: the words a sensor sends for one frame. Used by
// the virtual sensor, the tests and the benchmark.
//
// Stream line L carries, for column c, the sample of the frame position that
// the placement (PlacePixel) gives for (L, c); a stream column that the
// placement drops (the last one of an odd-width interleaved row) carries 0.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "acquisition/transport_stream.h"

namespace kordex {

struct StreamOptions {
    std::set<int> missingLines;  // stream lines left out entirely
    bool endMarker = true;       // the two 0xFFFF words at the end
};

// samples: width x height 12-bit sensor values in frame order (row by row);
// only the low 12 bits are sent. Returns the little-endian bytes.
std::vector<std::uint8_t> WriteTransportStream(const std::uint16_t* samples, const Placement& placement,
                                               const StreamOptions& options);

// Splits a stream into device reads of at most 65,536 bytes each.
std::vector<std::vector<std::uint8_t>> SplitIntoPages(const std::vector<std::uint8_t>& stream);

}  // namespace kordex
