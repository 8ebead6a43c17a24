// The viewer's own settings file and the values it keeps.
//
// The file lies beside the host program: the program's path with its file
// name lower-cased and the extension replaced by ".ini" (".ini" appended when
// there is none). Only the file name is lower-cased: the directories keep
// their spelling, because on a case-sensitive file system a lower-cased
// directory may not exist. For a host called "rundll32" the library's own
// path is used instead. Integers are written "%d"; a string value that
// begins with a backslash loses it when read (the platform accessor does so).
// View settings are read when a view starts and written when it is
// destroyed, so the last view closed wins.
#pragma once

#include <string>
#include <vector>

namespace grayscope {

inline constexpr const char* kSectionView = "GSC_Recent_View_Settings";
inline constexpr const char* kSectionHistory = "GSC_Mask_History";
inline constexpr const char* kSectionGrayMap = "GSC_Recent_GrayMap_Settings";
inline constexpr const char* kSectionProfile = "GSC_Recent_ProfileChart_Settings";
inline constexpr const char* kSectionBpm = "GSC_Recent_BPM_Settings";
inline constexpr const char* kDefaultHistoryEntry = "512x512 / *.raw";

// The settings path for a host program path and the library's own path.
std::string SettingsPathFor(const std::string& programPath, const std::string& libraryPath);

// Library-wide flags.
struct LibraryFlags {
    bool autocomplete = true;  // "FDimAutoComplete"
    bool frameEdges = true;    // "FrameCutEdge"
};
LibraryFlags ReadLibraryFlags(const std::string& path);
void WriteLibraryFlags(const std::string& path, const LibraryFlags& flags);

struct ViewSettings {
    int wndLeft = -1, wndTop = -1, wndRight = -1, wndBottom = -1;
    int stretchMode = 0;
    std::string markerMode;  // "LastMarkerMode"
    int zoom = 1;
    int lastWidth = 512;   // "LVW"
    int lastHeight = 512;  // "LVH"
    std::vector<std::string> history;  // newest first, valid entries only
    int pixelWhite = 4095;
    int pixelBlack = 0;
    int truncWhite = 0;  // 0.1 %
    int truncBlack = 0;
    bool truncOn = false;
    int histMin = 0;
    int histMax = 4095;
    int histScale = 500;
    int profileMin = 0;
    int profileMax = 4095;
};

// Reads every view value (defaults for missing keys). With no history
// entries ("N" = 0) the history holds "512x512 / *.raw".
ViewSettings ReadViewSettings(const std::string& path);
void WriteViewSettings(const std::string& path, const ViewSettings& s);

struct BpmEditorSettings {
    int byCol = 0;  // 0 rows, 1 columns
    int bad = 0;    // mark combo index
    int line = 0;
    int from = 0;
    int to = 0;
};
BpmEditorSettings ReadBpmEditorSettings(const std::string& path);
void WriteBpmEditorSettings(const std::string& path, const BpmEditorSettings& s);

// A window rectangle worth restoring: left < right, top < bottom, left and
// top >= 0, width and height > 100, right < screen width + 100, bottom <
// screen height + 100.
bool PlausibleWindowRect(int left, int top, int right, int bottom, int screenWidth, int screenHeight);

struct StartView {
    int width = 0;
    int height = 0;
    std::string mask;
};

// The start rules of a view: a non-empty mask with both numbers positive is
// taken as given; a non-empty mask with both 0 or less takes the last used
// dimensions; every other incomplete descriptor takes width, height and mask
// of the newest history entry.
StartView ResolveStart(int width, int height, const std::string& mask, const ViewSettings& settings);

}  // namespace grayscope
