#include "frame/library.h"

#include <cstdlib>

#include "frame/frame_files.h"
#include "frame/version.h"
#include "frame/worker_thread.h"
#include "platform/message_box.h"
#include "platform/paths.h"

namespace kordex {
namespace {

constexpr int kUnloadWaitMs = 5000;

}  // namespace

Library::Library(const std::string& path, const std::string& settingsPath)
    : libraryPath(path), libraryDir(platform::WithTrailingSlash(platform::DirectoryOf(path)))
{
    // The registry of running workers is made before this object, so it is
    // destroyed after it and the unload below can still wait on it.
    WorkerThread::WaitForAll(0);
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
    // A worker left running after a close time-out ends at its next check;
    // the library's code and state must outlive it. The acquisition stops
    // its read-outs first.
    acquisition.reset();
    if (!WorkerThread::WaitForAll(kUnloadWaitMs))
        log.Plain("WRN: a worker still runs while the library unloads");
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
