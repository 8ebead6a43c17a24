// The library's settings record: sections [Settings], [BadPixMap] and
// [DeSpeckle] of kordex.ini, read once when the library loads and written
// back at unload only when the service sheet has set the settings-changed
// flag. Reading never writes.
#pragma once

#include <string>
#include <string_view>

#include "frame/frame_geometry.h"
#include "platform/profile_file.h"

namespace kordex {

// Capacities of the string settings; longer stored values are cut.
inline constexpr std::size_t kHomeDirCapacity = 255;
inline constexpr std::size_t kMaskCapacity = 59;
inline constexpr std::size_t kPidCapacity = 39;

// The default home directory; "~" stands for $HOME when the path is used.
inline constexpr const char* kDefaultHomeDir = "~/Opticor/";

struct BadPixMapSettings {
    int radius = 30;
    int darkDevLo = 500;
    int darkDevHi = 500;
    int numSegs = 0;
    double brightRDevLo = 0.15;
    double brightRDevHi = 0.15;
};

struct DeSpeckleSettings {
    int bpmEnable = 0;
    int bpmThreshold2Side = 350;
    int bpmThreshold1Side = 450;
    int lnDetThreshold = 250;
    int lnDetType = 2;
};

struct LibrarySettings {
    int saveTempAcqFrame = 0;
    int saveTempCalFrames = 0;
    int saveTempImgProcess = 0;
    int numParallelThreads = 2;
    FrameGeometry geometry;
    // The home directory as stored, always ending in "/" (may begin with "~").
    std::string homeDir = kDefaultHomeDir;
    std::string maskAutoBPMDark = "dark";
    std::string maskAutoBPMBright = "A??_?????";
    int comPort = 0;
    int comPortBaud = 0;
    int getImagePreView = 1;
    std::string pid = "2001";
    int vReset = 330;
    int descramble = 1;
    int vResetStepBase = 1;
    int bright61 = 0;
    int invert = 1;
    int debugAcqDump = 0;
    int rcCutOff = 140;
    int rcCutOffR = 140;
    int aveBrightTolerance = 350;
    int ipDefaultModeNumber = 1;
    double ipProtContSmooth = 2.0;
    double ipProtContWeight = 1.0;
    int ipProtDifCtlRad = 5;
    int logAcqFramesDownScale = 1;
    int logAcqFramesNumBright = 0;
    int logAcqFramesNumDark = 0;
    int calSatValue = 65535;
    int calRepValue = 65535;
    int calLagrange = 0;
    int calNegPixCompensation = 0;
    // The sensor link: "usb" (default) or "virtual" (the simulated sensor);
    // the environment variable KORDEX_SENSOR_LINK overrides it.
    std::string sensorLink = "usb";
    // The stage bits of processing runs the service pages start (1 despeckle,
    // 2 grey-scale remap, 4 unsharp mask).
    int imgProcessFlags = 7;
    BadPixMapSettings badPixMap;
    DeSpeckleSettings deSpeckle;
    // Set by the service sheet when the user applies changes.
    int settingsChanged = 0;
};

// The settings file of the library at libraryPath: $KORDEX_INI when set and
// not empty; else "kordex.ini" in the library's directory when it exists
// (any case); else in the parent directory when it exists there; else the
// library's directory, where the first write creates it.
std::string LocateSettingsFile(const std::string& libraryPath, const char* environmentOverride);

// Reads every key (missing keys take their defaults) and leaves the accessor
// on [DeSpeckle]. libraryDir is the home directory when HomeDir is empty.
// A stored geometry that leaves no usable image is replaced by the default
// one; *warnings receives one line per such refusal.
LibrarySettings LoadSettings(platform::ProfileFile& profile, const std::string& libraryDir,
                             std::string* warnings);

// Writes every key of the three sections (the full write-back at unload).
void WriteSettings(platform::ProfileFile& profile, const LibrarySettings& s);

// The four cut margins alone; selects [Settings] itself.
void WriteCutMargins(platform::ProfileFile& profile, const LibrarySettings& s);

// VReset, RCCutOff and RCCutOffR alone, into the current section (the caller
// selects [Settings] first).
void WriteVResetAndCutOffs(platform::ProfileFile& profile, const LibrarySettings& s);

// A stored home directory cut to its capacity, always ending in "/".
std::string ResolveHomeDir(std::string_view stored);

// The home directory with "~" expanded, ending in "/".
std::string HomePath(const LibrarySettings& s);

}  // namespace kordex
