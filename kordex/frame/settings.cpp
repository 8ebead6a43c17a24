// Settings: location, reading with defaults, and the write-backs.
//
// The keys are read in a fixed order because RCCutOffR takes the RCCutOff
// just read as its default, and the geometry is derived before the home
// directory is resolved.
#include "frame/settings.h"

#include "platform/paths.h"
#include "platform/text.h"

namespace kordex {
namespace {

constexpr const char* kSettingsFileName = "kordex.ini";

std::string ReadCapped(platform::ProfileFile& p, const char* key, const char* def, std::size_t cap)
{
    return platform::Truncated(p.ReadString(key, def), cap);
}

}  // namespace

std::string ResolveHomeDir(std::string_view stored)
{
    std::string home = platform::Truncated(stored, kHomeDirCapacity);
    if (home.empty() || home.back() != '/') {
        if (home.size() == kHomeDirCapacity) home.pop_back();
        home += '/';
    }
    return home;
}

std::string LocateSettingsFile(const std::string& libraryPath, const char* environmentOverride)
{
    return platform::LocateBesideModule(libraryPath, kSettingsFileName, environmentOverride);
}

LibrarySettings LoadSettings(platform::ProfileFile& p, const std::string& libraryDir,
                             std::string* warnings)
{
    LibrarySettings s;
    p.SetSection("Settings");
    s.saveTempAcqFrame = p.ReadInt("SaveTempAcqFrame", 0);
    s.saveTempCalFrames = p.ReadInt("SaveTempCalFrames", 0);
    s.saveTempImgProcess = p.ReadInt("SaveTempImgProcess", 0);
    s.numParallelThreads = p.ReadInt("NumParallelThreads", 2);

    FrameGeometry g;  // the defaults: 910 x 688, no cuts, Rotation 1, Flip 1
    g.frameWidth = p.ReadInt("FrameWidth", g.frameWidth);
    g.frameHeight = p.ReadInt("FrameHeight", g.frameHeight);
    g.cutLeft = p.ReadInt("ImgCutLeft", 0);
    g.cutTop = p.ReadInt("ImgCutTop", 0);
    g.cutRight = p.ReadInt("ImgCutRight", 0);
    g.cutBottom = p.ReadInt("ImgCutBottom", 0);
    g.rotation = p.ReadInt("Rotation", 1);
    g.flip = p.ReadInt("Flip", 1);
    std::string problem;
    DeriveGeometry(s.geometry);
    if (!ApplyGeometry(s.geometry, g, &problem) && warnings)
        *warnings += "WRN: settings geometry refused, defaults kept: " + problem + "\n";

    std::string home = p.ReadString("HomeDir", kDefaultHomeDir);
    if (home.empty()) home = libraryDir.empty() ? "." : libraryDir;
    s.homeDir = ResolveHomeDir(home);

    s.maskAutoBPMDark = ReadCapped(p, "MaskAutoBPMDark", "dark", kMaskCapacity);
    s.maskAutoBPMBright = ReadCapped(p, "MaskAutoBPMBright", "A??_?????", kMaskCapacity);
    s.comPort = p.ReadInt("ComPort", 0);
    s.comPortBaud = p.ReadInt("ComPortBaud", 0);
    s.getImagePreView = p.ReadInt("GetImagePreView", 1);
    s.pid = ReadCapped(p, "PID", "2001", kPidCapacity);
    s.vReset = p.ReadInt("VReset", 330);
    s.descramble = p.ReadInt("Descramble", 1);
    s.vResetStepBase = p.ReadInt("VResetStepBase", 1);
    s.bright61 = p.ReadInt("Bright61", 0);
    s.invert = p.ReadInt("Invert", 1);
    s.debugAcqDump = p.ReadInt("DebugAcqDump", 0);
    s.rcCutOff = p.ReadInt("RCCutOff", 140);
    s.rcCutOffR = p.ReadInt("RCCutOffR", s.rcCutOff);
    s.aveBrightTolerance = p.ReadInt("AveBrightTolerance", 350);
    s.ipDefaultModeNumber = p.ReadInt("IPDefaultModeNumber", 1);
    s.ipProtContSmooth = p.ReadReal("IPProtContSmooth", 2.0);
    s.ipProtContWeight = p.ReadReal("IPProtContWeight", 1.0);
    s.ipProtDifCtlRad = p.ReadInt("IPProtDifCtlRad", 5);
    s.logAcqFramesDownScale = p.ReadInt("LogAcqFramesDownScale", 1);
    s.logAcqFramesNumBright = p.ReadInt("LogAcqFramesNumBright", 0);
    s.logAcqFramesNumDark = p.ReadInt("LogAcqFramesNumDark", 0);
    s.calSatValue = p.ReadInt("Cal_SatValue", 65535);
    s.calRepValue = p.ReadInt("Cal_RepValue", 65535);
    s.calLagrange = p.ReadInt("Cal_Lagrange", 0);
    s.calNegPixCompensation = p.ReadInt("Cal_NegPixCompensation", 0);
    s.sensorLink = std::string(platform::Trim(p.ReadString("SensorLink", "usb")));
    s.imgProcessFlags = p.ReadInt("ImgProcessFlags", 7);

    p.SetSection("BadPixMap");
    BadPixMapSettings& b = s.badPixMap;
    b.radius = p.ReadInt("Radius", 30);
    b.darkDevLo = p.ReadInt("DarkDevLo", 500);
    b.darkDevHi = p.ReadInt("DarkDevHi", 500);
    b.numSegs = p.ReadInt("NumSegs", 0);
    b.brightRDevLo = p.ReadReal("BrightRDevLo", 0.15);
    b.brightRDevHi = p.ReadReal("BrightRDevHi", 0.15);

    p.SetSection("DeSpeckle");
    DeSpeckleSettings& d = s.deSpeckle;
    d.bpmEnable = p.ReadInt("BPM_Enable", 0);
    d.bpmThreshold2Side = p.ReadInt("BPM_Threshold_2Side", 350);
    d.bpmThreshold1Side = p.ReadInt("BPM_Threshold_1Side", 450);
    d.lnDetThreshold = p.ReadInt("LnDet_Threshold", 250);
    d.lnDetType = p.ReadInt("LnDet_Type", 2);
    return s;
}

void WriteSettings(platform::ProfileFile& p, const LibrarySettings& s)
{
    const FrameGeometry& g = s.geometry;
    p.SetSection("Settings");
    p.WriteInt("ImgCutLeft", g.cutLeft);
    p.WriteInt("ImgCutTop", g.cutTop);
    p.WriteInt("ImgCutRight", g.cutRight);
    p.WriteInt("ImgCutBottom", g.cutBottom);
    p.WriteInt("SaveTempAcqFrame", s.saveTempAcqFrame);
    p.WriteInt("SaveTempCalFrames", s.saveTempCalFrames);
    p.WriteInt("SaveTempImgProcess", s.saveTempImgProcess);
    p.WriteInt("NumParallelThreads", s.numParallelThreads);
    p.WriteInt("FrameWidth", g.frameWidth);
    p.WriteInt("FrameHeight", g.frameHeight);
    p.WriteInt("Rotation", g.rotation);
    p.WriteInt("Flip", g.flip);
    p.WriteString("HomeDir", s.homeDir);
    p.WriteString("MaskAutoBPMDark", s.maskAutoBPMDark);
    p.WriteString("MaskAutoBPMBright", s.maskAutoBPMBright);
    p.WriteInt("ComPort", s.comPort);
    p.WriteInt("ComPortBaud", s.comPortBaud);
    p.WriteInt("GetImagePreView", s.getImagePreView);
    p.WriteInt("VReset", s.vReset);
    p.WriteInt("RCCutOff", s.rcCutOff);
    p.WriteInt("RCCutOffR", s.rcCutOffR);
    p.WriteString("PID", s.pid);
    p.WriteInt("Descramble", s.descramble);
    p.WriteInt("VResetStepBase", s.vResetStepBase);
    p.WriteInt("Bright61", s.bright61);
    p.WriteInt("Invert", s.invert);
    p.WriteInt("DebugAcqDump", s.debugAcqDump);
    p.WriteInt("AveBrightTolerance", s.aveBrightTolerance);
    p.WriteInt("IPDefaultModeNumber", s.ipDefaultModeNumber);
    p.WriteReal("IPProtContSmooth", s.ipProtContSmooth);
    p.WriteReal("IPProtContWeight", s.ipProtContWeight);
    p.WriteInt("IPProtDifCtlRad", s.ipProtDifCtlRad);
    p.WriteInt("LogAcqFramesDownScale", s.logAcqFramesDownScale);
    p.WriteInt("LogAcqFramesNumBright", s.logAcqFramesNumBright);
    p.WriteInt("LogAcqFramesNumDark", s.logAcqFramesNumDark);
    p.WriteInt("Cal_SatValue", s.calSatValue);
    p.WriteInt("Cal_RepValue", s.calRepValue);
    p.WriteInt("Cal_Lagrange", s.calLagrange);
    p.WriteInt("Cal_NegPixCompensation", s.calNegPixCompensation);
    p.WriteString("SensorLink", s.sensorLink);
    p.WriteInt("ImgProcessFlags", s.imgProcessFlags);

    p.SetSection("BadPixMap");
    const BadPixMapSettings& b = s.badPixMap;
    p.WriteInt("Radius", b.radius);
    p.WriteInt("DarkDevLo", b.darkDevLo);
    p.WriteInt("DarkDevHi", b.darkDevHi);
    p.WriteInt("NumSegs", b.numSegs);
    p.WriteReal("BrightRDevLo", b.brightRDevLo);
    p.WriteReal("BrightRDevHi", b.brightRDevHi);

    p.SetSection("DeSpeckle");
    const DeSpeckleSettings& d = s.deSpeckle;
    p.WriteInt("BPM_Enable", d.bpmEnable);
    p.WriteInt("BPM_Threshold_2Side", d.bpmThreshold2Side);
    p.WriteInt("BPM_Threshold_1Side", d.bpmThreshold1Side);
    p.WriteInt("LnDet_Threshold", d.lnDetThreshold);
    p.WriteInt("LnDet_Type", d.lnDetType);
}

void WriteCutMargins(platform::ProfileFile& p, const LibrarySettings& s)
{
    p.SetSection("Settings");
    p.WriteInt("ImgCutLeft", s.geometry.cutLeft);
    p.WriteInt("ImgCutTop", s.geometry.cutTop);
    p.WriteInt("ImgCutRight", s.geometry.cutRight);
    p.WriteInt("ImgCutBottom", s.geometry.cutBottom);
}

void WriteVResetAndCutOffs(platform::ProfileFile& p, const LibrarySettings& s)
{
    p.WriteInt("VReset", s.vReset);
    p.WriteInt("RCCutOff", s.rcCutOff);
    p.WriteInt("RCCutOffR", s.rcCutOffR);
}

std::string HomePath(const LibrarySettings& s)
{
    return platform::WithTrailingSlash(platform::ExpandHome(s.homeDir));
}

}  // namespace kordex
