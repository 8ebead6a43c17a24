// The fixed pattern is drawn once from the seed, so every frame of one
// virtual sensor shares it (calibration can learn it); the noise is drawn
// from the seed and the frame number.
#include "acquisition/sensor_model.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "acquisition/intraoral_phantom.h"

namespace kordex {
namespace {

constexpr double kFullScale = 4095.0;
constexpr double kColumnPattern = 6.0;   // counts of the column fixed pattern
constexpr double kOffsetSpread = 8.0;    // counts of the per-pixel offset spread
constexpr double kBadColumnGain = 0.35;
constexpr double kBadColumnOffset = 380.0;

}  // namespace

SensorModel::SensorModel(int width, int height, const VirtualSensorSettings& settings)
    : width_(width), s_(settings)
{
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    offset_.resize(n);
    gain_.resize(n);
    stuck_.assign(n, 0);
    std::mt19937 random(settings.seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::vector<double> column(static_cast<std::size_t>(width));
    for (double& c : column) c = kColumnPattern * unit(random);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            double offset = settings.darkOffset + column[static_cast<std::size_t>(x)] + kOffsetSpread * unit(random);
            double gain = 1.0 + settings.gainSpread * unit(random);
            if (x == settings.badColumn) {
                offset += kBadColumnOffset;
                gain *= kBadColumnGain;
            }
            offset_[i] = static_cast<float>(offset);
            gain_[i] = static_cast<float>(std::max(gain, 0.0));
        }
    }
    std::uniform_int_distribution<std::size_t> anywhere(0, n - 1);
    for (int b = 0; b < settings.badPixels; ++b) stuck_[anywhere(random)] = (b % 2 == 0) ? 1 : -1;
    if (settings.phantom)
        transmission_ = IntraoralPhantom(width, height);
    else
        transmission_.assign(n, 1.0f);
}

double SensorModel::ExpectedLevel(int x, int y, bool xray) const
{
    const std::size_t i = static_cast<std::size_t>(y) * width_ + x;
    if (stuck_[i] != 0) return stuck_[i] > 0 ? kFullScale : 0.0;
    double level = offset_[i];
    if (xray) level += s_.exposure * static_cast<double>(gain_[i]) * transmission_[i];
    return std::clamp(level, 0.0, kFullScale);
}

std::vector<std::uint16_t> SensorModel::Frame(bool xray, unsigned frame) const
{
    const std::size_t n = offset_.size();
    std::vector<std::uint16_t> raw(n);
    std::mt19937 random(s_.seed * 7919u + frame * 104729u + (xray ? 1u : 0u));
    std::normal_distribution<double> noise(0.0, std::max(s_.noise, 0.0));
    for (std::size_t i = 0; i < n; ++i) {
        double level;
        if (stuck_[i] != 0) {
            level = stuck_[i] > 0 ? kFullScale : 0.0;
        } else {
            level = offset_[i] + (s_.noise > 0.0 ? noise(random) : 0.0);
            if (xray) level += s_.exposure * static_cast<double>(gain_[i]) * transmission_[i];
        }
        const int charge = static_cast<int>(std::lround(std::clamp(level, 0.0, kFullScale)));
        raw[i] = static_cast<std::uint16_t>(4095 - charge);
    }
    return raw;
}

}  // namespace kordex
