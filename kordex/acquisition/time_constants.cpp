// The test-only time scale, read at every use so a test can set it before
// it loads the library.
#include "acquisition/time_constants.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace kordex {
namespace {

double TestScale()
{
    const char* text = std::getenv("KORDEX_TEST_TIME_SCALE");
    if (text == nullptr || *text == '\0') return 1.0;
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    if (end == text || !(scale > 0.0) || scale > 1000.0) return 1.0;
    return scale;
}

}  // namespace

int ScaledMs(int ms)
{
    const double scaled = ms * TestScale();
    return scaled < 0.0 ? 0 : static_cast<int>(scaled);
}

void SleepScaledMs(int ms)
{
    const int scaled = ScaledMs(ms);
    if (scaled > 0) std::this_thread::sleep_for(std::chrono::milliseconds(scaled));
}

}  // namespace kordex
