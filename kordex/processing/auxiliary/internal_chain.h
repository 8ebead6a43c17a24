// The internal auxiliary chain (processing modes 300..399): a self-contained
// enhancement of 12-bit data -- inversion, truncation, despeckle,
// directional smoothing, median shift weighted by a molar/frontal estimate,
// adaptive and plain unsharp masks, histogram equalisation, truncation,
// gamma -- ending with a rescale to 0..4095.
//
// Every stage works in place on ctx.image (width x height signed 16-bit) and
// splits its pixel passes into row bands over ctx.threads (the result does
// not depend on the thread count). Scratch images are allocated before a
// pass starts. Stages return kStageDone when they changed the image and kStageSkipped when their
// preconditions left them out; none reports an error.
#pragma once

#include <cstdio>
#include <string>

#include "frame/stage_result.h"
#include "platform/profile_file.h"
#include "processing/stage_context.h"

namespace kordex::auxiliary {

// The chain's parameters with their defaults; keys in quotes.
struct AuxChainParams {
    float histTrunkDark0 = 0.5f;      // "HistTrunkDark0": first truncation, dark per cent
    float histTrunkLight0 = 0.0001f;  // "HistTrunkLight0": first truncation, light per cent
    int despeckleThreshold = 15;      // "DespeckleThreshold": 0 or less = off
    int medianShift = 15;             // "MedianShift": 0 off, negative = fixed factor
    int dirSmoothRad = 4;             // "DirSmoohRad" (sic): 0 = off
    int dirSmoothWeight = 20;         // "DirSmoothWeight": 0 = off
    int afuMaskR1 = 7;                // "AFUMaskR1": adaptive unsharp, contour radius
    int afuMaskR3 = 5;                // "AFUMaskR3": first blur radius
    int afuMaskR4 = 50;               // "AFUMaskR4": second blur radius
    float afuMaskW3 = 2.5f;           // "AFUMaskW3": first weight
    float afuMaskW4 = 0.5f;           // "AFUMaskW4": second weight
    int histEqThreshold = 80;         // "HistEqThreshold": equalisation strength, 0 = off
    int unsharpMaskRadius = 150;      // "UnsharpMaskRadius"
    float unsharpMaskWeight = 0.25f;  // "UnsharpMaskWeight"
    float histTrunkDark = 0.5f;       // "HistTrunkDark": final truncation, dark per cent
    float histTrunkLight = 0.001f;    // "HistTrunkLight": final truncation, light per cent
    int gamma = 0;                    // "Gamma": per cent above 1, 0 = off
};

// Reads the keys from the current section of profile (floats through the
// real reader). Missing keys keep the defaults; nothing is written.
void ReadAuxChainParams(platform::ProfileFile& profile, AuxChainParams& params);

// The largest directional smoothing radius: the sector table holds 50
// offsets per sector, which radii up to 11 respect.
inline constexpr int kSectorCapacity = 50;
inline constexpr int kMaxDirectionalRadius = 11;

// Truncation with dark per cent a and light per cent b (the histogram cut
// without shift): nothing when a + b > 99 or the image is flat.
StageResult Truncation(const StageContext& ctx, double a, double b);

// 5x5 despeckle with threshold t: a pixel at least 2 away from the edges
// with fewer than 6 values of its window within t (|q - v| < t) becomes the
// mean of the window's 13th and 14th smallest values.
StageResult WindowDespeckle(const StageContext& ctx, int t);

// Directional smoothing with radius r and weight g. Radii above
// kMaxDirectionalRadius are left out (see the .cpp).
StageResult DirectionalSmoothing(const StageContext& ctx, int r, int g);

// The molar weight c = ((H / V) * 20 / 17)^2 of the image, H and V the sums
// of the absolute differences along rows and along columns (0 when V is 0).
double MolarTeethWeight(const StageContext& ctx);

// The median shift with the molar weighting (factor medianShift, not 0);
// writes the statistics line into stats when it is not null.
StageResult MolarMedianShift(const StageContext& ctx, int medianShift, std::FILE* stats);

// Adaptive unsharp mask (r1, r3, r4 radii, w3, w4 weights); dumps
// "5ausm_contour.raw" and "5ausm_coeff.raw".
StageResult AdaptiveUnsharpMask(const StageContext& ctx, int r1, int r3, int r4, float w3, float w4);

// Plain unsharp mask: v += near((v - blur(r)) * w).
StageResult PlainUnsharpMask(const StageContext& ctx, int r, float w);

// Gamma g (per cent above 1) over the image's range.
StageResult GammaCurve(const StageContext& ctx, int g);

// The closing rescale to 0..4095 when max - min is above 10.
StageResult FinalRescale(const StageContext& ctx);

// Where the chain writes its statistics line ("" = nowhere).
struct ChainOutput {
    std::string statisticsPath;  // deleted at the start, created when dumps is true
    bool dumps = false;          // SaveTempImgProcess; ctx.dump writes "$io<name>"
};

// The whole chain in its order. Returns kStageDone (the chain always succeeds), or kStageSkipped
// when the abort state was seen between stages (the image is then partly
// processed).
StageResult RunInternalChain(const StageContext& ctx, const AuxChainParams& params, const ChainOutput& output);

}  // namespace kordex::auxiliary
