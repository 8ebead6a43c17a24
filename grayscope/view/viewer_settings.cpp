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

namespace {

// The integer keys of the view settings: section, key, member, default.
struct ViewInt {
    const char* section;
    const char* key;
    int ViewSettings::*member;
    int defaultValue;
};

constexpr ViewInt kViewInts[] = {
    {kSectionView, "WndLeft", &ViewSettings::wndLeft, -1},
    {kSectionView, "WndTop", &ViewSettings::wndTop, -1},
    {kSectionView, "WndRight", &ViewSettings::wndRight, -1},
    {kSectionView, "WndBottom", &ViewSettings::wndBottom, -1},
    {kSectionView, "StretchMode", &ViewSettings::stretchMode, 0},
    {kSectionView, "LastZoom", &ViewSettings::zoom, 1},
    {kSectionHistory, "LVW", &ViewSettings::lastWidth, 512},
    {kSectionHistory, "LVH", &ViewSettings::lastHeight, 512},
    {kSectionGrayMap, "PixelWhite", &ViewSettings::pixelWhite, 4095},
    {kSectionGrayMap, "PixelBlack", &ViewSettings::pixelBlack, 0},
    {kSectionGrayMap, "THistPixelWhite", &ViewSettings::truncWhite, 0},
    {kSectionGrayMap, "THistPixelBlack", &ViewSettings::truncBlack, 0},
    {kSectionGrayMap, "HistMin", &ViewSettings::histMin, 0},
    {kSectionGrayMap, "HistMax", &ViewSettings::histMax, 4095},
    {kSectionGrayMap, "HistScale", &ViewSettings::histScale, 500},
    {kSectionProfile, "Min", &ViewSettings::profileMin, 0},
    {kSectionProfile, "Max", &ViewSettings::profileMax, 4095},
};

struct EditorInt {
    const char* key;
    int BpmEditorSettings::*member;
};

constexpr EditorInt kEditorInts[] = {
    {"ByCol", &BpmEditorSettings::byCol}, {"Bad", &BpmEditorSettings::bad}, {"LnNum", &BpmEditorSettings::line},
    {"From", &BpmEditorSettings::from},   {"To", &BpmEditorSettings::to},
};

}  // namespace

ViewSettings ReadViewSettings(const std::string& path)
{
    platform::ProfileFile f(path);
    ViewSettings s;
    for (const ViewInt& k : kViewInts) {
        f.SetSection(k.section);
        s.*k.member = f.ReadInt(k.key, k.defaultValue);
    }
    if (s.stretchMode < 0 || s.stretchMode > 3)
        s.stretchMode = 0;
    f.SetSection(kSectionView);
    s.markerMode = f.ReadString("LastMarkerMode", "");
    f.SetSection(kSectionGrayMap);
    s.truncOn = f.ReadInt("THistEn", 0) != 0;
    f.SetSection(kSectionHistory);
    const int n = f.ReadInt("N", 0);
    for (int i = 0; i < n && i < 1000; ++i) {
        const std::string entry = f.ReadString(std::to_string(i), "");
        const MaskEntry parsed = ParseMaskEntry(entry);
        if (!entry.empty() && parsed.valid)
            s.history.push_back(FormatMaskEntry(parsed.width, parsed.height, parsed.mask));
    }
    if (n == 0)
        s.history.push_back(kDefaultHistoryEntry);
    return s;
}

void WriteViewSettings(const std::string& path, const ViewSettings& s)
{
    platform::ProfileFile f(path);
    for (const ViewInt& k : kViewInts) {
        f.SetSection(k.section);
        f.WriteInt(k.key, s.*k.member);
    }
    f.SetSection(kSectionView);
    f.WriteString("LastMarkerMode", platform::Truncated(s.markerMode, 31));
    f.SetSection(kSectionGrayMap);
    f.WriteInt("THistEn", s.truncOn ? 1 : 0);
    f.SetSection(kSectionHistory);
    f.WriteInt("N", static_cast<int>(s.history.size()));
    for (std::size_t i = 0; i < s.history.size(); ++i)
        f.WriteString(std::to_string(i), s.history[i]);
}

BpmEditorSettings ReadBpmEditorSettings(const std::string& path)
{
    platform::ProfileFile f(path);
    f.SetSection(kSectionBpm);
    BpmEditorSettings s;
    for (const EditorInt& k : kEditorInts)
        s.*k.member = f.ReadInt(k.key, 0);
    s.byCol = s.byCol != 0 ? 1 : 0;
    s.bad = s.bad != 0 ? 1 : 0;
    return s;
}

void WriteBpmEditorSettings(const std::string& path, const BpmEditorSettings& s)
{
    platform::ProfileFile f(path);
    f.SetSection(kSectionBpm);
    for (const EditorInt& k : kEditorInts)
        f.WriteInt(k.key, s.*k.member);
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
