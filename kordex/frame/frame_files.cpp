#include "frame/frame_files.h"

#include "platform/paths.h"
#include "platform/raw_file.h"
#include "platform/text.h"

namespace kordex {

bool WriteRawFrame(Log& log, const std::string& path, const void* data, std::size_t bytes,
                   bool showBox)
{
    platform::FileError error;
    if (platform::WriteRawFile(path, data, bytes, &error)) return true;
    log.Error(error.text, error.code, showBox);
    return false;
}

bool ReadRawFrame(Log& log, const std::string& path, void* buffer, std::int64_t expectedBytes,
                  std::size_t capacity, bool showBox)
{
    platform::FileError error;
    if (platform::ReadRawFile(platform::ResolveNoCase(path), buffer, expectedBytes, capacity, &error))
        return true;
    log.Error(error.text, error.code, showBox);
    return false;
}

std::string CalibrationDirectory(const std::string& homePath, const std::string& override)
{
    if (!override.empty()) return platform::WithTrailingSlash(override);
    return platform::Format("%s%s/", homePath.c_str(), "CAL");
}

std::string ImageFolder(const std::string& homePath, int width, int height)
{
    return platform::Format("%sI%4.4dx%4.4d/", homePath.c_str(), width, height);
}

}  // namespace kordex
