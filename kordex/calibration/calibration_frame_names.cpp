// Names of the calibration-set frames.
#include "calibration/calibration_frame_names.h"

#include <cstdlib>

#include "platform/paths.h"
#include "platform/text.h"

namespace kordex {

int BrightFrameLevelOfName(std::string_view fileName)
{
    if (fileName.size() < 2) return -1;
    const std::string digits(fileName.substr(1, 5));
    const char* begin = digits.c_str();
    char* end = nullptr;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin) return -1;
    return static_cast<int>(value);
}

std::string FreeBrightFrameName(const std::string& dir, int level)
{
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string name = platform::Format("x%5.5d%c.raw", level, letter);
        if (!platform::FileExists(platform::ResolveNoCase(dir + name))) return name;
    }
    return "";
}

std::string GainPointName(int index, int level)
{
    return platform::Format("A%2.2d_%5.5d.raw", index, level);
}

}  // namespace kordex
