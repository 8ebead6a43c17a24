#include "grayscope/view/row_bands.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace grayscope {

int BandCount(long long pixels)
{
    if (pixels < 256 * 1024)
        return 1;
    const int hw = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(hw, 1, 8);
}

void RunRowBands(int rows, int bands, const std::function<void(int, int)>& body)
{
    bands = std::clamp(bands, 1, std::max(rows, 1));
    if (rows <= 0)
        return;
    if (bands == 1) {
        body(0, rows - 1);
        return;
    }
    const int per = rows / bands;
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(bands - 1));
    for (int b = 1; b < bands; ++b) {
        const int first = b * per;
        const int last = b == bands - 1 ? rows - 1 : first + per - 1;
        threads.emplace_back([&body, first, last] { body(first, last); });
    }
    body(0, per - 1);
    for (auto& t : threads)
        t.join();
}

}  // namespace grayscope
