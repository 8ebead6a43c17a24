// Row bands for the pixel passes (see row_bands.h). Threads are started per
// pass: a pass over a frame takes milliseconds, starting a thread some tens
// of microseconds, and no thread outlives the pass.
#include "platform/row_bands.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace platform {
namespace {

// Band j of count (count >= 1) over rows from..to.
RowBand Band(int count, int from, int to, int j)
{
    const int size = (to - from + 1) / count;
    return RowBand{j, from + j * size, j == count - 1 ? to : from + (j + 1) * size - 1};
}

}  // namespace

void SplitRows(int count, int from, int to, const std::function<void(const RowBand&)>& visit)
{
    count = std::max(count, 1);
    for (int j = 0; j < count; ++j)
        visit(Band(count, from, to, j));
}

void RunRowBands(int count, int from, int to, const std::function<void(const RowBand&)>& body)
{
    if (to < from)
        return;
    count = std::max(count, 1);
    if (count == 1) {
        body(RowBand{0, from, to});
        return;
    }
    std::vector<std::thread> threads;
    try {
        threads.reserve(static_cast<std::size_t>(count - 1));
    } catch (const std::exception&) {
        // Without room for the thread handles every band runs here.
    }
    // Last band first, as the bands were always started; the first band runs
    // here while the others work.
    for (int j = count - 1; j > 0; --j) {
        const RowBand band = Band(count, from, to, j);
        if (band.firstRow > band.lastRow)
            continue;
        bool started = false;
        if (threads.size() < threads.capacity()) {
            try {
                threads.emplace_back([&body, band] { body(band); });
                started = true;
            } catch (const std::exception&) {
            }
        }
        if (!started)
            body(band);
    }
    const RowBand first = Band(count, from, to, 0);
    if (first.firstRow <= first.lastRow)
        body(first);
    for (std::thread& t : threads)
        t.join();
}

}  // namespace platform
