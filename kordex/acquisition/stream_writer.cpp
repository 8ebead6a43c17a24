// Writing a transport stream. The placement decides which frame sample each
// stream word carries, so a written stream parses back to the frame it was
// made from.
#include "acquisition/stream_writer.h"

#include <algorithm>

namespace kordex {
namespace {

void Put(std::vector<std::uint8_t>& out, std::uint16_t word)
{
    out.push_back(static_cast<std::uint8_t>(word & 0xFF));
    out.push_back(static_cast<std::uint8_t>(word >> 8));
}

}  // namespace

std::vector<std::uint8_t> WriteTransportStream(const std::uint16_t* samples, const Placement& p,
                                               const StreamOptions& options)
{
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(ExpectedWords(p.width, p.height)) * 2);
    for (int line = 0; line < p.height; ++line) {
        if (options.missingLines.count(line) != 0) continue;
        Put(out, static_cast<std::uint16_t>(0xA000 | (line & 0x0FFF)));
        for (int c = 0; c < p.width; ++c) {
            int row = 0, col = 0;
            std::uint16_t value = 0;
            if (PlacePixel(p, line, c, &row, &col))
                value = samples[static_cast<std::size_t>(row) * p.width + col] & 0x0FFF;
            Put(out, value);
        }
        Put(out, static_cast<std::uint16_t>(0xE000 | (line & 0x0FFF)));
    }
    if (options.endMarker) {
        Put(out, 0xFFFF);
        Put(out, 0xFFFF);
    }
    return out;
}

std::vector<std::vector<std::uint8_t>> SplitIntoPages(const std::vector<std::uint8_t>& stream)
{
    std::vector<std::vector<std::uint8_t>> pages;
    for (std::size_t at = 0; at < stream.size(); at += kPageBytes) {
        const std::size_t end = std::min(stream.size(), at + static_cast<std::size_t>(kPageBytes));
        pages.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                           stream.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return pages;
}

}  // namespace kordex
