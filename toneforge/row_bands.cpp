// Row bands for the pixel passes (see row_bands.h). Threads are started per
// pass: a pass over a frame takes milliseconds, starting a thread some tens
// of microseconds, and no thread outlives the enhancement call.
#include "row_bands.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace toneforge {

int BandCount(int threads, int rows)
{
    return std::max(1, std::min({threads, kMaxThreads, rows}));
}

void ForRowBands(int threads, int rows, const std::function<void(const RowBand&)>& body)
{
    if (rows <= 0)
        return;
    const int count = BandCount(threads, rows);
    const int size = rows / count;
    std::vector<std::thread> workers;
    try {
        workers.reserve(count - 1);
    } catch (const std::exception&) {
        // Without room for the thread handles every band runs here.
    }
    for (int index = 1; index < count; ++index) {
        const RowBand band{index, index * size, index == count - 1 ? rows - 1 : (index + 1) * size - 1};
        bool started = false;
        if (workers.size() < workers.capacity()) {
            try {
                workers.emplace_back([&body, band] { body(band); });
                started = true;
            } catch (const std::exception&) {
            }
        }
        if (!started)
            body(band);
    }
    body(RowBand{0, 0, count == 1 ? rows - 1 : size - 1});
    for (std::thread& worker : workers)
        worker.join();
}

}  // namespace toneforge
