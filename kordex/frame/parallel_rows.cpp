#include "frame/parallel_rows.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace kordex {

int ParallelThreadCount(int setting)
{
    return std::clamp(setting, 1, kMaxParallelThreads);
}

void SplitRows(int threadCount, int from, int to, const std::function<void(const RowBand&)>& visit)
{
    const int count = ParallelThreadCount(threadCount);
    const int size = (to - from + 1) / count;
    for (int j = 0; j < count; ++j) {
        const int first = from + j * size;
        const int last = j == count - 1 ? to : from + (j + 1) * size - 1;
        visit(RowBand{j, first, last});
    }
}

void ParallelRows(int threadCount, int from, int to, const std::function<void(const RowBand&)>& body)
{
    std::vector<RowBand> bands;
    SplitRows(threadCount, from, to, [&](const RowBand& b) {
        if (b.firstRow <= b.lastRow) bands.push_back(b);
    });
    if (bands.empty()) return;
    std::vector<std::thread> threads;
    threads.reserve(bands.size() - 1);
    // Last band first, as the bands were always started; the first band runs
    // here while the others work.
    for (std::size_t j = bands.size() - 1; j > 0; --j) threads.emplace_back([&body, band = bands[j]] { body(band); });
    body(bands[0]);
    for (std::thread& t : threads) t.join();
}

}  // namespace kordex
