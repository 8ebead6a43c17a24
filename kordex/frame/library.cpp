#include "frame/library.h"

#include <cstdlib>

#include "frame/frame_files.h"
#include "frame/version.h"
#include "platform/message_box.h"
#include "platform/paths.h"

namespace kordex {

Library::Library(const std::string& path, const std::string& settingsPath)
    : libraryPath(path), libraryDir(platform::WithTrailingSlash(platform::DirectoryOf(path)))
{
    log.SetVersion(LogVersion{platform::FileNameOf(libraryPath), KORDEX_VERSION_MAJOR,
                              KORDEX_VERSION_MINOR, KORDEX_VERSION_PATCH, KORDEX_VERSION_TWEAK});
    log.SetBoxTitle(title);
    platform::SetMessageBoxLogSink([this](const std::string& line) { log.Plain(line); });

    profile.SetPath(settingsPath);
    std::string warnings;
    settings = LoadSettings(profile, libraryDir, &warnings);
    std::size_t start = 0;
    while (start < warnings.size()) {
        const std::size_t end = warnings.find('\n', start);
        log.Early(warnings.substr(start, end - start));
        start = end == std::string::npos ? warnings.size() : end + 1;
    }
    messages.Start(profile, [this](const std::string& line) { log.Plain(line); });
}

Library::~Library()
{
    messages.Join();
    log.Close();
    if (settings.settingsChanged) WriteSettings(profile, settings);
    platform::SetMessageBoxLogSink(nullptr);
}

std::string Library::CalibrationDir() const
{
    return CalibrationDirectory(HomePath(), calibrationDirOverride);
}

Library& Lib()
{
    static Library library(platform::ModulePath(reinterpret_cast<const void*>(&Lib)),
                           LocateSettingsFile(platform::ModulePath(reinterpret_cast<const void*>(&Lib)),
                                              std::getenv("KORDEX_INI")));
    return library;
}

}  // namespace kordex
