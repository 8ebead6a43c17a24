// Tone curve. With x == 1 the upper segment's slope (1-y)/(1-x) divides by
// zero; the segment then holds only j = 4095, whose point on the curve is
// (1, 1), so that entry is 1 instead of 0 * infinity. Table indices are
// clamped to 0..4095 so a value a hair outside 0..1 cannot read past it.
#include "calpost/tone_curve.h"

#include <cstddef>

namespace calpost {
namespace {

constexpr int kToneEntries = 4096;

}  // namespace

std::vector<double> ToneTable(double x, double y)
{
    std::vector<double> table(kToneEntries);
    const double breakIndex = 4095.0 * x;
    const int lowerEnd = !(breakIndex > 0.0)           ? 0
                         : breakIndex >= kToneEntries ? kToneEntries
                                                      : static_cast<int>(breakIndex);
    const double lowerSlope = y / x;
    const double upperRun = 1.0 - x;
    for (int j = 0; j < kToneEntries; ++j) {
        const double u = j / 4095.0;
        double t;
        if (j < lowerEnd)
            t = lowerSlope * u;
        else if (upperRun == 0.0)
            t = 1.0;
        else
            t = (1.0 - y) / upperRun * (u - 1.0) + 1.0;
        table[static_cast<std::size_t>(j)] = t;
    }
    return table;
}

void ApplyToneCurve(Image& image, double x, double y)
{
    if (x == 0.0) return;
    const std::vector<double> table = ToneTable(x, y);
    for (double& v : image.values) {
        int j = v > 0.0 ? static_cast<int>(4095.0 * v) : 0;
        if (j > kToneEntries - 1) j = kToneEntries - 1;
        v = table[static_cast<std::size_t>(j)];
    }
}

}  // namespace calpost
