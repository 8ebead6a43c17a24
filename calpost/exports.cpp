// The exported functions of libcalpost.so: the door of each computation.
//
// Each export checks its arguments once, allocates its result with
// std::malloc (so CalpostFree, or free(), releases it) and runs the
// computation, which trusts its inputs from then on. Work arrays are
// std::vectors; running out of memory for them surfaces as std::bad_alloc,
// which -- like any exception -- is caught here and turned into the export's
// failure result, so nothing throws across the library boundary.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "calpost.h"
#include "calpost/bad_pixel_maps.h"
#include "calpost/calibration.h"
#include "calpost/noise_bad_pixel_map.h"
#include "calpost/post_prc.h"
#include "calpost/truncate.h"

namespace {

// Sizes beyond this are refused: they cannot be real frames, and refusing
// them keeps every size plus its mirrored border inside an int.
constexpr std::int32_t kMaxSide = 1 << 20;
// The widest Gaussian of GenerateBPMAP (4 * 10000 + 5 taps).
constexpr double kMaxSigma = 10000.0;

bool SizeOk(std::int32_t width, std::int32_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide;
}

std::size_t PixelCount(std::int32_t width, std::int32_t height)
{
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

template <typename T>
T* NewArray(std::size_t count)
{
    return static_cast<T*>(std::malloc(count * sizeof(T)));
}

}  // namespace

extern "C" {

void CalpostFree(void* block)
{
    std::free(block);
}

uint16_t* Calibration(const double* dark, const double* bright, const double* raw, int32_t width,
                      int32_t height)
{
    if (!dark || !bright || !raw || !SizeOk(width, height)) return nullptr;
    const std::size_t count = PixelCount(width, height);
    auto* out = NewArray<std::uint16_t>(count);
    if (!out) return nullptr;
    try {
        calpost::CalibrateFrame(dark, bright, raw, count, out);
    } catch (...) {
        std::free(out);
        return nullptr;
    }
    return out;
}

uint8_t* GenerateBPMAP_1(const double* dark, const double* bright, int32_t width, int32_t height,
                         double lowFactor, double highFactor)
{
    if (!dark || !bright || !SizeOk(width, height)) return nullptr;
    const std::size_t count = PixelCount(width, height);
    auto* map = NewArray<std::uint8_t>(count);
    if (!map) return nullptr;
    calpost::ThresholdBadPixelMap(dark, bright, count, lowFactor, highFactor, map);
    return map;
}

uint8_t* GenerateBPMAP_2(const double* dark, const double* bright, int32_t width, int32_t height,
                         double lowLevel, double highLevel)
{
    if (!dark || !bright || !SizeOk(width, height)) return nullptr;
    const std::size_t count = PixelCount(width, height);
    auto* map = NewArray<std::uint8_t>(count);
    if (!map) return nullptr;
    try {
        calpost::DifferenceBadPixelMap(dark, bright, count, lowLevel, highLevel, map);
    } catch (...) {
        std::free(map);
        return nullptr;
    }
    return map;
}

int32_t GenerateBPMAP(const uint16_t* image, int32_t width, int32_t height, uint8_t* map, double window,
                      double percentage, double sigma)
{
    if (!image || !map || !SizeOk(width, height)) return 0;
    if (!(sigma > 0.0) || !(sigma <= kMaxSigma)) return 0;
    try {
        calpost::Image frame(width, height);
        for (std::size_t i = 0; i < frame.Count(); ++i) frame.values[i] = image[i];
        const int n = calpost::TruncateToInt(window, 0, kMaxSide);
        calpost::NoiseBadPixelMap(frame, n, percentage, sigma, map);
    } catch (...) {
        return 0;
    }
    return 1;
}

uint16_t* PostPrc(const uint16_t* image, int32_t width, int32_t height, int32_t /*reserved4*/,
                  void* /*reserved5*/, void* /*reserved6*/, double medianWindow, double detailFactor,
                  double replacePercent, double windowLow, double windowHigh, double toneBreakX,
                  double toneBreakY, double pyramidLevels, double coefficientRange,
                  double coefficientExponent, double coefficientKnee, double gain0, double gain1,
                  double gain2, double gain3, double /*unused22*/, double /*unused23*/,
                  double /*unused24*/, double /*unused25*/, double /*unused26*/, double /*unused27*/,
                  double /*unused28*/, double /*unused29*/, double /*unused30*/, double /*unused31*/,
                  int32_t localEqualisation, double greyLevels, double clipFactor, double tilesAcross,
                  double tilesDown, double /*unused37*/, double /*unused38*/, double /*unused39*/,
                  double /*unused40*/, double /*unused41*/, double /*unused42*/, double /*unused43*/)
{
    if (!image || !SizeOk(width, height)) return nullptr;
    calpost::PostPrcParams p;
    p.medianWindow = medianWindow;
    p.detailFactor = detailFactor;
    p.replacePercent = replacePercent;
    p.windowLow = windowLow;
    p.windowHigh = windowHigh;
    p.toneBreakX = toneBreakX;
    p.toneBreakY = toneBreakY;
    p.pyramidLevels = pyramidLevels;
    p.coefficientRange = coefficientRange;
    p.coefficientExponent = coefficientExponent;
    p.coefficientKnee = coefficientKnee;
    p.gains[0] = gain0;
    p.gains[1] = gain1;
    p.gains[2] = gain2;
    p.gains[3] = gain3;
    p.localEqualisation = localEqualisation;
    p.greyLevels = greyLevels;
    p.clipFactor = clipFactor;
    p.tilesAcross = tilesAcross;
    p.tilesDown = tilesDown;

    auto* out = NewArray<std::uint16_t>(PixelCount(width, height));
    if (!out) return nullptr;
    try {
        calpost::RunPostPrc(image, width, height, p, out);
    } catch (...) {
        std::free(out);
        return nullptr;
    }
    return out;
}

}  // extern "C"
