// IpParams and UsmStep: the tuning record of a standard processing mode
// (modes 1..299), read from and written to the mode's section "IP<n>" of the
// settings file, and the caption that names a mode.
//
// Decisions worth knowing:
//  - a step line lists its floats positive-difference pair first
//    (f8 f9 f6 f7); reading parses them back in that order;
//  - "USM_NumSteps" is limited to 0..20 (the file holds USM0..USM19);
//  - a real value that is not a finite number (nan, inf) keeps its default,
//    so no stage ever sees a non-finite factor or percentage;
//  - unused step lines above the step count are blanked with a lone "\" on
//    write, which reads back as an absent line.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/profile_file.h"

namespace kordex {

inline constexpr int kMaxUsmSteps = 20;

// One unsharp-mask step: five ints then four floats. R1 < 0 makes it a
// smoothing step of radius -R1 whose kind (Tag) is R2.
struct UsmStep {
    int r1 = 0;
    int r2 = 1;
    int cr1 = 0;
    int cr2 = 0;
    int w = -25;       // weight in per cent
    float f6 = 1.0f;   // negative differences, air level
    float f7 = 1.0f;   // negative differences, bone level
    float f8 = 1.0f;   // positive differences, air level (second-radius factor when Tag >= 2)
    float f9 = 1.0f;   // positive differences, bone level (second-gain factor when Tag >= 2)
};

// Segmentation class codes of the class image (run-time, remap -> final).
enum SegmentClass : std::int8_t { kClassNone = 0, kClassDark = 1, kClassBone = 2, kClassTop = 3 };

struct IpParams {
    int despeckleThreshold = -1;
    int despeckleNumPasses = 1;
    int despeckle5x5Threshold = -1;
    int c3iAir = 8700;
    int c3iWat = 6000;
    int c3iBon = 1500;
    int c3oMin = -2047;
    int c3oAir = -1000;
    int c3oWat = -300;
    int c3oBon = 1000;
    int c3oMax = 2047;
    int c3oMax0 = 0;
    float c3iAirPerc = 100.0f;
    float c3iWatPerc = 50.0f;
    float c3iBonPerc = 0.0f;
    int c3iPerc = 0;
    int iInvEnable = 0;
    int iInvMin = 0;
    int iInvMax = 0;
    int iInvAniSmooth = 0;
    float iInvCutDark = 0.0f;
    float iInvCutBright = 0.0f;
    int finCMin = 0;
    int finCMax = 0;
    int finCBrushUpR = 0;
    float finCCutDark = 0.0f;
    float finCCutBright = 0.0f;
    int medianShiftFactor = 0;
    int histEquThreshold = 0;
    float segmentCoeff = 0.0f;
    // Run-time results, never stored.
    int estAir = 0;
    int estWater = 0;
    int estBone = 0;
    int contrastLow = 0;
    int contrastHigh = 0;
    std::shared_ptr<std::vector<std::int8_t>> classImage;  // width x height SegmentClass codes, or null
    float coeffCopy = 0.0f;
    int viewKind = 0;  // 0 unspecified, 1 molar, 2 frontal
    int numSteps = 5;
    std::array<UsmStep, kMaxUsmSteps> steps = DefaultSteps();

    static std::array<UsmStep, kMaxUsmSteps> DefaultSteps();
};

inline constexpr int kViewUnspecified = 0;
inline constexpr int kViewMolar = 1;
inline constexpr int kViewFrontal = 2;

// "IP<mode>".
std::string ModeSection(int mode);

// The step line "%d %d %d %d %d %g %g %g %g" (R1 R2 CR1 CR2 W f8 f9 f6 f7).
std::string FormatStepLine(const UsmStep& step);

// Parses a step line into step like the C scanner would: fields are taken in
// order until the first one that does not parse; the rest keep their values.
// Integers beyond the int range are limited to it; non-finite floats are
// ignored (the field keeps its value, and parsing goes on).
void ParseStepLine(const std::string& line, UsmStep& step);

// Fills params with the defaults and then every key of the mode's section of
// profile (which is left on that section). Missing keys keep their defaults
// and nothing is written. Never fails: garbage reads as 0 (the settings
// reader's conversion), non-finite reals keep their defaults.
void ReadModeParams(platform::ProfileFile& profile, int mode, IpParams& params);

// Writes every stored key of params into the mode's section, then the step
// lines 0..numSteps-1, then blanks (with "\") the lines numSteps..19 that
// hold a value. Write failures are ignored like every settings write.
void WriteModeParams(platform::ProfileFile& profile, int mode, const IpParams& params);

// The "Caption" of the mode's section, or "Unnamed IP mode" when missing or
// empty. Leaves profile on the mode's section.
std::string ModeCaption(platform::ProfileFile& profile, int mode);

// The view kind of a caption, tested in upper case in the order FRONTAL
// (frontal), MOLAR (molar), FRONT (frontal), MOL (molar); else unspecified.
int ViewKindFromCaption(const std::string& caption);

}  // namespace kordex
