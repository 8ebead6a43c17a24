// The gain chart's curves.
#include "calibration/cal_preview.h"

#include <cstdlib>
#include <string>

#include "calibration/gain_curves.h"
#include "platform/exact_math.h"
#include "platform/text.h"

namespace kordex {
namespace {

template <typename Curve>
void Sample(const GainCurveInput& in, int x, GainChartCurve* curve)
{
    for (int i = 0; i < kChartSamples; ++i) curve->output[static_cast<std::size_t>(i)] = Curve::At(in, x, curve->input[static_cast<std::size_t>(i)]);
}

}  // namespace

int ChartGamutOf(std::string_view typed)
{
    const std::string text(platform::Trim(typed));
    const char* begin = text.c_str();
    char* end = nullptr;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin) return kDefaultChartGamut;
    if (value < kMinChartGamut) return kMinChartGamut;
    return value > 65535 ? 65535 : static_cast<int>(value);
}

std::array<std::pair<int, int>, 3> DefaultChartPixels(int width, int height)
{
    return {std::pair{width / 4, height / 4}, std::pair{width / 2, height / 2}, std::pair{width * 3 / 4, height * 3 / 4}};
}

int LoadGainChart(const CalibrationSetContext& ctx, GainPointSet* set, std::string* title, std::string* message)
{
    std::int32_t abortWord = 0;
    StepContext step;
    step.width = ctx.width;
    step.height = ctx.height;
    step.settings = ctx.settings;
    step.threads = ctx.settings->numParallelThreads;
    step.abortWord = &abortWord;
    step.calibrationDir = ctx.calibrationDir;
    step.log = ctx.log;
    step.messages = ctx.messages;
    const int loaded = LoadGainPoints(step, set, message);
    *title = set->count > 0 ? platform::Format("Gain calibration by %d points", set->count) : "No gain calibration data";
    return loaded;
}

GainChartCurve GainChartCurveAt(const GainPointSet& set, int width, int x, int y, int gamut)
{
    GainChartCurve curve;
    curve.x = x;
    curve.y = y;
    const std::int16_t* rows[kMaxGainPoints];
    const std::ptrdiff_t rowStart = static_cast<std::ptrdiff_t>(y) * width;
    for (int i = 0; i < set.count; ++i) {
        rows[i] = set.frames[static_cast<std::size_t>(i)].get() + rowStart;
        curve.points.emplace_back(rows[i][x], set.levels[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; i < kChartSamples; ++i)
        curve.input[static_cast<std::size_t>(i)] = platform::Near(static_cast<double>(i) * gamut / (kChartSamples - 1));
    if (set.count <= 0) return curve;
    const GainCurveInput in{rows, set.levels.data(), set.count};
    switch (set.function) {
    case GainFunction::SinglePoint: Sample<GainSinglePointCurve>(in, x, &curve); break;
    case GainFunction::PiecewiseLinear: Sample<GainPiecewiseLinearCurve>(in, x, &curve); break;
    case GainFunction::Lagrange: Sample<GainLagrangeCurve>(in, x, &curve); break;
    }
    return curve;
}

}  // namespace kordex
