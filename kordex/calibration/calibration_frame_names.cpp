// Names of the calibration-set frames.
#include "calibration/calibration_frame_names.h"

#include "platform/paths.h"
#include "platform/text.h"

namespace kordex {

int LevelOfNameField(std::string_view fileName, std::size_t start)
{
    if (fileName.size() <= start) return -1;
    const std::string_view field = fileName.substr(start, 5);
    int level = -1;
    for (const char c : field) {
        if (c < '0' || c > '9') break;
        level = (level < 0 ? 0 : level * 10) + (c - '0');
    }
    return level;
}

int BrightFrameLevelOfName(std::string_view fileName)
{
    return LevelOfNameField(fileName, 1);
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
