// The internal auxiliary chain: its parameters and its order.
//
// The statistics file is deleted on every run and exists afterwards only when
// dumps are on; it holds the molar-weight line of the median shift. The
// abort state is checked between stages, so an aborted job stops within one
// stage (the image is left partly processed, as after an aborted standard
// run).
#include "processing/auxiliary/internal_chain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/exact_math.h"
#include "platform/paths.h"
#include "processing/final_contrast.h"

namespace kordex::auxiliary {
namespace {

void ReadFloat(platform::ProfileFile& p, const char* key, float& value)
{
    const float f = static_cast<float>(p.ReadReal(key, value));
    if (std::isfinite(f)) value = f;
}

// Closes the statistics file on every way out of the chain.
struct StatisticsFile {
    std::FILE* file = nullptr;
    ~StatisticsFile()
    {
        if (file) std::fclose(file);
    }
};

}  // namespace

void ReadAuxChainParams(platform::ProfileFile& p, AuxChainParams& a)
{
    ReadFloat(p, "HistTrunkDark0", a.histTrunkDark0);
    ReadFloat(p, "HistTrunkLight0", a.histTrunkLight0);
    a.despeckleThreshold = p.ReadInt("DespeckleThreshold", a.despeckleThreshold);
    a.medianShift = p.ReadInt("MedianShift", a.medianShift);
    a.dirSmoothRad = p.ReadInt("DirSmoohRad", a.dirSmoothRad);
    a.dirSmoothWeight = p.ReadInt("DirSmoothWeight", a.dirSmoothWeight);
    a.afuMaskR1 = p.ReadInt("AFUMaskR1", a.afuMaskR1);
    a.afuMaskR3 = p.ReadInt("AFUMaskR3", a.afuMaskR3);
    a.afuMaskR4 = p.ReadInt("AFUMaskR4", a.afuMaskR4);
    ReadFloat(p, "AFUMaskW3", a.afuMaskW3);
    ReadFloat(p, "AFUMaskW4", a.afuMaskW4);
    a.histEqThreshold = p.ReadInt("HistEqThreshold", a.histEqThreshold);
    a.unsharpMaskRadius = p.ReadInt("UnsharpMaskRadius", a.unsharpMaskRadius);
    ReadFloat(p, "UnsharpMaskWeight", a.unsharpMaskWeight);
    ReadFloat(p, "HistTrunkDark", a.histTrunkDark);
    ReadFloat(p, "HistTrunkLight", a.histTrunkLight);
    a.gamma = p.ReadInt("Gamma", a.gamma);
}

StageResult FinalRescale(const StageContext& ctx)
{
    const auto [lo, hi] = std::minmax_element(ctx.image, ctx.image + ctx.Pixels());
    const int mn = *lo, mx = *hi;
    if (mn + 10 >= mx) return kStageSkipped;
    const double scale = 4095.0 / (mx - mn);
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        std::int16_t* row = ctx.image + static_cast<std::size_t>(y) * ctx.width;
        for (int x = 0; x < ctx.width; ++x) row[x] = static_cast<std::int16_t>(platform::Near(scale * (row[x] - mn)));
    });
    return kStageDone;
}

StageResult RunInternalChain(const StageContext& ctx, const AuxChainParams& p, const ChainOutput& output)
{
    StatisticsFile stats;
    if (!output.statisticsPath.empty()) {
        platform::RemoveFile(output.statisticsPath);
        if (output.dumps) stats.file = std::fopen(output.statisticsPath.c_str(), "w");
    }
    const std::size_t n = ctx.Pixels();
    for (std::size_t i = 0; i < n; ++i) ctx.image[i] = static_cast<std::int16_t>(4095 - std::clamp<int>(ctx.image[i], 0, 4095));
    if (p.histTrunkDark0 > 0 || p.histTrunkLight0 > 0) Truncation(ctx, p.histTrunkDark0, p.histTrunkLight0);
    const int mn = *std::min_element(ctx.image, ctx.image + n);
    for (std::size_t i = 0; i < n; ++i) ctx.image[i] = static_cast<std::int16_t>(ctx.image[i] - mn);
    ctx.Dump("1normal.raw", ctx.image);
    if (ctx.Aborted()) return kStageSkipped;

    if (p.despeckleThreshold > 0) WindowDespeckle(ctx, p.despeckleThreshold);
    ctx.Dump("2normal.raw", ctx.image);
    if (ctx.Aborted()) return kStageSkipped;

    const bool directional = p.dirSmoothRad > 0 && p.dirSmoothWeight != 0;
    if (directional) DirectionalSmoothing(ctx, p.dirSmoothRad, p.dirSmoothWeight);
    if (ctx.Aborted()) return kStageSkipped;
    if (p.medianShift != 0) {
        ctx.Dump("3median0.raw", ctx.image);
        MolarMedianShift(ctx, p.medianShift, stats.file);
        ctx.Dump("4median1.raw", ctx.image);
    }
    if (ctx.Aborted()) return kStageSkipped;

    if (p.afuMaskR1 > 0 && p.afuMaskR3 > 0 && p.afuMaskW3 > 0)
        AdaptiveUnsharpMask(ctx, p.afuMaskR1, p.afuMaskR3, p.afuMaskR4, p.afuMaskW3, p.afuMaskW4);
    ctx.Dump("5aunsharp.raw", ctx.image);
    if (ctx.Aborted()) return kStageSkipped;

    if (p.unsharpMaskRadius > 0 && p.unsharpMaskWeight > 0) PlainUnsharpMask(ctx, p.unsharpMaskRadius, p.unsharpMaskWeight);
    if (directional) DirectionalSmoothing(ctx, p.dirSmoothRad, p.dirSmoothWeight);
    if (ctx.Aborted()) return kStageSkipped;

    // Its fault codes (too few levels or pixels) only leave it out.
    if (p.histEqThreshold > 0) HistogramEqualisation(ctx, p.histEqThreshold, 0.0, 99.0);
    if (p.histTrunkDark > 0 || p.histTrunkLight > 0) Truncation(ctx, p.histTrunkDark, p.histTrunkLight);
    ctx.Dump("6histtrunk.raw", ctx.image);
    if (p.gamma != 0) GammaCurve(ctx, p.gamma);
    if (stats.file) {
        std::fclose(stats.file);
        stats.file = nullptr;
    }
    if (ctx.Aborted()) return kStageSkipped;
    FinalRescale(ctx);
    return kStageDone;
}

}  // namespace kordex::auxiliary
