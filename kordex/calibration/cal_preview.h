// The data of the gain chart of the "Cal Preview" page: the per-pixel gain
// curves of the current point set at up to three pixels, 40 samples each,
// with the pixel's calibration points as markers. The page draws what these
// functions compute.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "calibration/calibration_set_context.h"
#include "calibration/gain_points.h"

namespace kordex {

inline constexpr int kChartSamples = 40;
inline constexpr int kDefaultChartGamut = 4096;
inline constexpr int kMinChartGamut = 100;

// The chart gamut from the typed text: a number below 100 is 100; 4096 when
// the text holds no number.
int ChartGamutOf(std::string_view typed);

// The three marked pixels at first: one, two and three quarters of the
// frame's width and height.
std::array<std::pair<int, int>, 3> DefaultChartPixels(int width, int height);

struct GainChartCurve {
    int x = 0, y = 0;                                // the pixel
    std::array<int, kChartSamples> input{};          // trunc(i * G / 39 + 0.49999)
    std::array<std::int64_t, kChartSamples> output{};  // the pixel's gain function there
    std::vector<std::pair<int, int>> points;         // (the pixel's value in point i, level i)
};

// Loads the point set of ctx.calibrationDir (LoadGainPoints) for the chart.
// *title: "Gain calibration by %d points", or "No gain calibration data";
// *message: the loader's message. Returns the loader's result (1, 0, -1).
int LoadGainChart(const CalibrationSetContext& ctx, GainPointSet* set, std::string* title, std::string* message);

// The curve of pixel (x, y) of a loaded set (count >= 1) of width-wide
// frames, with the set's own per-pixel function, unclipped.
GainChartCurve GainChartCurveAt(const GainPointSet& set, int width, int x, int y, int gamut);

}  // namespace kordex
