// Reading and writing a standard processing mode's section, and its caption.
//
// The keys are read in the order they are written. Reals are stored as floats
// (the record's precision), so "%f" on write and a general parse on read.
#include "processing/ip_params.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "platform/exact_math.h"
#include "platform/text.h"

namespace kordex {
namespace {

void ReadFloat(platform::ProfileFile& p, const char* key, float& value)
{
    const double read = p.ReadReal(key, value);
    const float f = static_cast<float>(read);
    if (std::isfinite(f)) value = f;
}

std::string StepKey(int k)
{
    return platform::Format("USM%d", k);
}

bool ParseInt(const char*& s, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, 10);
    if (end == s) return false;
    out = v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
    s = end;
    return true;
}

bool ParseFloat(const char*& s, float& out)
{
    char* end = nullptr;
    const float v = std::strtof(s, &end);
    if (end == s) return false;
    if (std::isfinite(v)) out = v;
    s = end;
    return true;
}

}  // namespace

std::array<UsmStep, kMaxUsmSteps> IpParams::DefaultSteps()
{
    std::array<UsmStep, kMaxUsmSteps> s{};
    s[1] = {-4, 0, 0, 0, 25, 1.0f, 1.0f, 1.0f, 1.0f};
    s[2] = {2, 5, 0, 0, 30, 0.5f, 0.9f, 0.9f, 0.9f};
    s[3] = {10, 60, 20, 60, 50, 0.1f, 0.5f, 0.2f, 0.5f};
    s[4] = {-3, 1, 0, 0, 25, 1.0f, 1.0f, 1.0f, 1.0f};
    return s;
}

std::string ModeSection(int mode)
{
    return platform::Format("IP%d", mode);
}

std::string FormatStepLine(const UsmStep& s)
{
    return platform::Format("%d %d %d %d %d %g %g %g %g", s.r1, s.r2, s.cr1, s.cr2, s.w, static_cast<double>(s.f8),
                            static_cast<double>(s.f9), static_cast<double>(s.f6), static_cast<double>(s.f7));
}

void ParseStepLine(const std::string& line, UsmStep& step)
{
    const char* s = line.c_str();
    int* ints[5] = {&step.r1, &step.r2, &step.cr1, &step.cr2, &step.w};
    for (int* field : ints)
        if (!ParseInt(s, *field)) return;
    float* floats[4] = {&step.f8, &step.f9, &step.f6, &step.f7};
    for (float* field : floats)
        if (!ParseFloat(s, *field)) return;
}

void ReadModeParams(platform::ProfileFile& p, int mode, IpParams& params)
{
    params = IpParams{};
    p.SetSection(ModeSection(mode));
    auto readInt = [&p](const char* key, int& value) { value = p.ReadInt(key, value); };
    readInt("DespeckleThreshold", params.despeckleThreshold);
    readInt("DespeckleNumPasses", params.despeckleNumPasses);
    readInt("Despeckle5x5Threshold ", params.despeckle5x5Threshold);
    readInt("C3oMin", params.c3oMin);
    readInt("C3oAir", params.c3oAir);
    readInt("C3oWat", params.c3oWat);
    readInt("C3oBon", params.c3oBon);
    readInt("C3oMax", params.c3oMax);
    readInt("C3oMax0", params.c3oMax0);
    readInt("C3iAir", params.c3iAir);
    readInt("C3iWat", params.c3iWat);
    readInt("C3iBon", params.c3iBon);
    ReadFloat(p, "C3iAirPerc", params.c3iAirPerc);
    ReadFloat(p, "C3iWatPerc", params.c3iWatPerc);
    ReadFloat(p, "C3iBonPerc", params.c3iBonPerc);
    readInt("C3iPerc", params.c3iPerc);
    readInt("IInv_Enable", params.iInvEnable);
    readInt("IInv_Min", params.iInvMin);
    readInt("IInv_Max", params.iInvMax);
    readInt("IInv_AniSmoooth", params.iInvAniSmooth);
    ReadFloat(p, "IInv_CutDark", params.iInvCutDark);
    ReadFloat(p, "IInv_CutBright", params.iInvCutBright);
    readInt("FinC_Min", params.finCMin);
    readInt("FinC_Max", params.finCMax);
    readInt("FinC_BrushUpR", params.finCBrushUpR);
    ReadFloat(p, "FinC_CutDark", params.finCCutDark);
    ReadFloat(p, "FinC_CutBright", params.finCCutBright);
    readInt("MedianShiftFactor", params.medianShiftFactor);
    readInt("HistEquThreshold", params.histEquThreshold);
    ReadFloat(p, "SegmentCoeff", params.segmentCoeff);
    readInt("USM_NumSteps", params.numSteps);
    params.numSteps = platform::ClampInt(params.numSteps, 0, kMaxUsmSteps);
    for (int k = 0; k < params.numSteps; ++k) {
        UsmStep& step = params.steps[static_cast<std::size_t>(k)];
        const std::string line = FormatStepLine(step);
        ParseStepLine(p.ReadString(StepKey(k), line.c_str()), step);
    }
}

void WriteModeParams(platform::ProfileFile& p, int mode, const IpParams& params)
{
    p.SetSection(ModeSection(mode));
    auto real = [&p](const char* key, float value) { p.WriteReal(key, static_cast<double>(value)); };
    p.WriteInt("DespeckleThreshold", params.despeckleThreshold);
    p.WriteInt("DespeckleNumPasses", params.despeckleNumPasses);
    p.WriteInt("Despeckle5x5Threshold ", params.despeckle5x5Threshold);
    p.WriteInt("C3oMin", params.c3oMin);
    p.WriteInt("C3oAir", params.c3oAir);
    p.WriteInt("C3oWat", params.c3oWat);
    p.WriteInt("C3oBon", params.c3oBon);
    p.WriteInt("C3oMax", params.c3oMax);
    p.WriteInt("C3oMax0", params.c3oMax0);
    p.WriteInt("C3iAir", params.c3iAir);
    p.WriteInt("C3iWat", params.c3iWat);
    p.WriteInt("C3iBon", params.c3iBon);
    real("C3iAirPerc", params.c3iAirPerc);
    real("C3iWatPerc", params.c3iWatPerc);
    real("C3iBonPerc", params.c3iBonPerc);
    p.WriteInt("C3iPerc", params.c3iPerc);
    p.WriteInt("IInv_Enable", params.iInvEnable);
    p.WriteInt("IInv_Min", params.iInvMin);
    p.WriteInt("IInv_Max", params.iInvMax);
    p.WriteInt("IInv_AniSmoooth", params.iInvAniSmooth);
    real("IInv_CutDark", params.iInvCutDark);
    real("IInv_CutBright", params.iInvCutBright);
    p.WriteInt("FinC_Min", params.finCMin);
    p.WriteInt("FinC_Max", params.finCMax);
    p.WriteInt("FinC_BrushUpR", params.finCBrushUpR);
    real("FinC_CutDark", params.finCCutDark);
    real("FinC_CutBright", params.finCCutBright);
    p.WriteInt("MedianShiftFactor", params.medianShiftFactor);
    p.WriteInt("HistEquThreshold", params.histEquThreshold);
    real("SegmentCoeff", params.segmentCoeff);
    const int count = platform::ClampInt(params.numSteps, 0, kMaxUsmSteps);
    p.WriteInt("USM_NumSteps", count);
    for (int k = 0; k < count; ++k) p.WriteString(StepKey(k), FormatStepLine(params.steps[static_cast<std::size_t>(k)]));
    // An empty text is stored as a lone backslash, which reads back as absent.
    for (int k = count; k < kMaxUsmSteps; ++k)
        if (!p.ReadString(StepKey(k), "").empty()) p.WriteString(StepKey(k), "");
}

std::string ModeCaption(platform::ProfileFile& p, int mode)
{
    p.SetSection(ModeSection(mode));
    std::string caption = p.ReadString("Caption", "");
    if (caption.empty()) caption = platform::Format("Unnamed %s mode", "IP");
    return caption;
}

int ViewKindFromCaption(const std::string& caption)
{
    std::string upper = caption;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto has = [&upper](const char* word) { return upper.find(word) != std::string::npos; };
    if (has("FRONTAL")) return kViewFrontal;
    if (has("MOLAR")) return kViewMolar;
    if (has("FRONT")) return kViewFrontal;
    if (has("MOL")) return kViewMolar;
    return kViewUnspecified;
}

}  // namespace kordex
