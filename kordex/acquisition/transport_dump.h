// Transport-stream dump files: with DebugAcqDump the read-out writes every
// page it received into the home directory's Log folder as
// "$a<width>_p<NN>_<words in hex>.bin"; the virtual sensor replays a folder
// of such files page by page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kordex {

class Log;
struct PageBlock;

// "$a%d_p%2.2d_%X.bin" of the frame width, page index and word count.
std::string DumpFileName(int width, int page, int words);

// Deletes the old "$a*.bin" files of homePath's Log folder (created when
// missing) and writes the pages in order while their byte count is not zero.
// Returns the index of the last page written, -1 when none was.
int WriteTransportDump(Log& log, const std::string& homePath, int width, const PageBlock& pages);

// The pages of a dump folder in page order (the "_p<NN>_" number of each
// "$a*.bin" file), each at most 65,536 bytes. Files that do not follow the
// name pattern are skipped.
std::vector<std::vector<std::uint8_t>> ReadTransportDump(const std::string& directory);

}  // namespace kordex
