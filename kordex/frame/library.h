// The library object: everything Kordex keeps between calls, set up before
// the first export does any work and shut down when the library is unloaded.
//
// Start-up: the settings file is located and read, the geometry derived, the
// message-table thread started and the title of the library's boxes set.
// Shutdown: the log is closed and, only when the service sheet set the
// settings-changed flag, the settings are written back.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "frame/lock_slots.h"
#include "frame/log.h"
#include "frame/message_table.h"
#include "frame/settings.h"
#include "frame/ui_log_list.h"
#include "kordex.h"
#include "platform/profile_file.h"

namespace kordex {

inline constexpr const char* kLibraryTitle = "IntraOral Detector";

class Library {
public:
    // Starts the library whose file is libraryPath, reading settingsPath.
    Library(const std::string& libraryPath, const std::string& settingsPath);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // The home directory with "~" expanded, ending in "/".
    std::string HomePath() const { return kordex::HomePath(settings); }
    // The calibration directory, ending in "/".
    std::string CalibrationDir() const;

    std::string libraryPath;
    std::string libraryDir;    // ends in "/"
    std::string title = kLibraryTitle;
    platform::ProfileFile profile;  // the accessor of [Settings] and the caller's sections
    LibrarySettings settings;
    UiLogList uiLog;
    Log log{&uiLog};
    MessageTable messages;
    LockSlots lockSlots;
    // Acquisition, library-wide (one acquisition at a time): the status record
    // that is also the acquisition handle, the open sensor link and the
    // read-out threads. Created by the acquisition subsystem on first use;
    // destroyed before the log and the lock slots, so it can still stop a
    // read-out that runs at unload.
    std::shared_ptr<class AcquisitionSession> acquisition;
    std::string calibrationDirOverride;          // "" = the default CAL folder
    // Calibration chain, library-wide (one calibration job at a time): the
    // get-image window's view of calibration reports (set by the window while
    // it runs a job of its own; the job's dispatcher calls it before the
    // caller's callback) and the run-time offset mode of the "Calibration
    // Settings" page.
    std::function<void(CalibrationJob* job)> calibrationWindowHook;
    int calibrationOffsetMode = 0;
    // Processing chain, library-wide: the get-image window's view of
    // processing reports (called by the job's dispatcher before the caller's
    // callback).
    std::function<void(ProcessingJob* job)> processingWindowHook;
    std::array<char, platform::ProfileFile::kValueCapacity> iniValue{};  // KX_IniProfGetStr
};

// The library of this module, started on first use (the shared library
// starts it when it is loaded).
Library& Lib();

}  // namespace kordex
