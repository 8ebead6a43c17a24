#include "grayscope/view/viewer_settings.h"

#include <cctype>

#include "grayscope/view/mask_entry.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace grayscope {

std::string SettingsPathFor(const std::string& programPath, const std::string& libraryPath)
{
    const std::string& base = programPath.find("rundll32") != std::string::npos ? libraryPath : programPath;
    const std::size_t slash = base.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? base : base.substr(slash + 1);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return dir + name + ".ini";
}

LibraryFlags ReadLibraryFlags(const std::string& path)
{
    platform::ProfileFile f(path);
    f.SetSection(kSectionView);
    LibraryFlags flags;
    flags.autocomplete = f.ReadInt("FDimAutoComplete", 1) != 0;
    flags.frameEdges = f.ReadInt("FrameCutEdge", 1) != 0;
    return flags;
}

void WriteLibraryFlags(const std::string& path, const LibraryFlags& flags)
{
    platform::ProfileFile f(path);
    f.SetSection(kSectionView);
    f.WriteInt("FDimAutoComplete", flags.autocomplete ? 1 : 0);
    f.WriteInt("FrameCutEdge", flags.frameEdges ? 1 : 0);
}

ViewSettings ReadViewSettings(const std::string& path)
{
    platform::ProfileFile f(path);
    ViewSettings s;
    f.SetSection(kSectionView);
    s.wndLeft = f.ReadInt("WndLeft", -1);
    s.wndTop = f.ReadInt("WndTop", -1);
    s.wndRight = f.ReadInt("WndRight", -1);
    s.wndBottom = f.ReadInt("WndBottom", -1);
    s.stretchMode = f.ReadInt("StretchMode", 0);
    if (s.stretchMode < 0 || s.stretchMode > 3)
        s.stretchMode = 0;
    s.markerMode = f.ReadString("LastMarkerMode", "");
    s.zoom = f.ReadInt("LastZoom", 1);
    f.SetSection(kSectionHistory);
    s.lastWidth = f.ReadInt("LVW", 512);
    s.lastHeight = f.ReadInt("LVH", 512);
    const int n = f.ReadInt("N", 0);
    for (int i = 0; i < n && i < 1000; ++i) {
        const std::string entry = f.ReadString(std::to_string(i), "");
        const MaskEntry parsed = ParseMaskEntry(entry);
        if (!entry.empty() && parsed.valid)
            s.history.push_back(FormatMaskEntry(parsed.width, parsed.height, parsed.mask));
    }
    if (n == 0)
        s.history.push_back(kDefaultHistoryEntry);
    f.SetSection(kSectionGrayMap);
    s.pixelWhite = f.ReadInt("PixelWhite", 4095);
    s.pixelBlack = f.ReadInt("PixelBlack", 0);
    s.truncWhite = f.ReadInt("THistPixelWhite", 0);
    s.truncBlack = f.ReadInt("THistPixelBlack", 0);
    s.truncOn = f.ReadInt("THistEn", 0) != 0;
    s.histMin = f.ReadInt("HistMin", 0);
    s.histMax = f.ReadInt("HistMax", 4095);
    s.histScale = f.ReadInt("HistScale", 500);
    f.SetSection(kSectionProfile);
    s.profileMin = f.ReadInt("Min", 0);
    s.profileMax = f.ReadInt("Max", 4095);
    return s;
}

void WriteViewSettings(const std::string& path, const ViewSettings& s)
{
    platform::ProfileFile f(path);
    f.SetSection(kSectionView);
    f.WriteInt("WndLeft", s.wndLeft);
    f.WriteInt("WndTop", s.wndTop);
    f.WriteInt("WndRight", s.wndRight);
    f.WriteInt("WndBottom", s.wndBottom);
    f.WriteInt("StretchMode", s.stretchMode);
    f.WriteString("LastMarkerMode", platform::Truncated(s.markerMode, 31));
    f.WriteInt("LastZoom", s.zoom);
    f.SetSection(kSectionHistory);
    f.WriteInt("LVW", s.lastWidth);
    f.WriteInt("LVH", s.lastHeight);
    f.WriteInt("N", static_cast<int>(s.history.size()));
    for (std::size_t i = 0; i < s.history.size(); ++i)
        f.WriteString(std::to_string(i), s.history[i]);
    f.SetSection(kSectionGrayMap);
    f.WriteInt("PixelWhite", s.pixelWhite);
    f.WriteInt("PixelBlack", s.pixelBlack);
    f.WriteInt("THistPixelWhite", s.truncWhite);
    f.WriteInt("THistPixelBlack", s.truncBlack);
    f.WriteInt("THistEn", s.truncOn ? 1 : 0);
    f.WriteInt("HistMin", s.histMin);
    f.WriteInt("HistMax", s.histMax);
    f.WriteInt("HistScale", s.histScale);
    f.SetSection(kSectionProfile);
    f.WriteInt("Min", s.profileMin);
    f.WriteInt("Max", s.profileMax);
}

BpmEditorSettings ReadBpmEditorSettings(const std::string& path)
{
    platform::ProfileFile f(path);
    f.SetSection(kSectionBpm);
    BpmEditorSettings s;
    s.byCol = f.ReadInt("ByCol", 0) != 0 ? 1 : 0;
    s.bad = f.ReadInt("Bad", 0) != 0 ? 1 : 0;
    s.line = f.ReadInt("LnNum", 0);
    s.from = f.ReadInt("From", 0);
    s.to = f.ReadInt("To", 0);
    return s;
}

void WriteBpmEditorSettings(const std::string& path, const BpmEditorSettings& s)
{
    platform::ProfileFile f(path);
    f.SetSection(kSectionBpm);
    f.WriteInt("ByCol", s.byCol);
    f.WriteInt("Bad", s.bad);
    f.WriteInt("LnNum", s.line);
    f.WriteInt("From", s.from);
    f.WriteInt("To", s.to);
}

bool PlausibleWindowRect(int left, int top, int right, int bottom, int screenWidth, int screenHeight)
{
    return left < right && top < bottom && left >= 0 && top >= 0 && right - left > 100 && bottom - top > 100 &&
           right < screenWidth + 100 && bottom < screenHeight + 100;
}

StartView ResolveStart(int width, int height, const std::string& mask, const ViewSettings& settings)
{
    StartView v;
    if (!mask.empty() && width > 0 && height > 0) {
        v.width = width;
        v.height = height;
        v.mask = mask;
        return v;
    }
    if (!mask.empty() && width <= 0 && height <= 0) {
        v.width = settings.lastWidth;
        v.height = settings.lastHeight;
        v.mask = mask;
        return v;
    }
    const MaskEntry newest =
        ParseMaskEntry(settings.history.empty() ? std::string(kDefaultHistoryEntry) : settings.history.front());
    v.width = newest.width;
    v.height = newest.height;
    v.mask = newest.mask;
    return v;
}

}  // namespace grayscope
