// Transport-stream dump files. A dump keeps each read exactly as it arrived
// (odd byte counts included), so a replay reproduces the read-out.
#include "acquisition/transport_dump.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

#include "acquisition/sensor_link.h"
#include "frame/frame_files.h"
#include "frame/log.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace kordex {

std::string DumpFileName(int width, int page, int words)
{
    return platform::Format("$a%d_p%2.2d_%X.bin", width, page, static_cast<unsigned>(words));
}

int WriteTransportDump(Log& log, const std::string& homePath, int width, const PageBlock& pages)
{
    const std::string dir = homePath + "Log";
    platform::MakeDirectory(dir);
    platform::DeleteByMask(dir, "$a*.bin");
    int last = -1;
    for (int p = 0; p < pages.pageCount; ++p) {
        const int bytes = pages.byteCounts[static_cast<std::size_t>(p)];
        if (bytes == 0) break;
        const std::string path = dir + "/" + DumpFileName(width, p, bytes / 2);
        if (!WriteRawFrame(log, path, pages.bytes.data() + static_cast<std::size_t>(p) * kPageBytes,
                           static_cast<std::size_t>(bytes), false))
            break;
        last = p;
    }
    return last;
}

std::vector<std::vector<std::uint8_t>> ReadTransportDump(const std::string& directory)
{
    std::vector<std::pair<int, std::string>> files;
    for (const std::string& name : platform::FindFiles(directory, "$a*.bin")) {
        int width = 0, page = 0;
        unsigned words = 0;
        // "$a<width>_p<page>_<words>.bin" (the mask already matched "$a" and ".bin").
        if (std::sscanf(name.c_str() + 2, "%d_%*[pP]%d_%x", &width, &page, &words) != 3) continue;
        if (page < 0) continue;
        files.emplace_back(page, platform::WithTrailingSlash(directory) + name);
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::vector<std::uint8_t>> pages;
    for (const auto& [page, path] : files) {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.size() > static_cast<std::size_t>(kPageBytes)) bytes.resize(kPageBytes);
        pages.push_back(std::move(bytes));
    }
    return pages;
}

}  // namespace kordex
