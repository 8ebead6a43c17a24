// Attenuations are line integrals in arbitrary units; the transmission is
// exp(-sum). Frame pixel (x, y) is drawn at the delivered-image position
// (column y, row width - 1 - x), the quarter turn of the default Rotation.
#include "acquisition/intraoral_phantom.h"

#include <algorithm>
#include <cmath>

namespace kordex {
namespace {

constexpr double kSoftTissue = 0.45;
constexpr double kBone = 0.55;
constexpr double kBoneTexture = 0.12;
constexpr double kDentin = 1.25;
constexpr double kEnamel = 2.1;
constexpr double kPulp = -0.55;  // the canal holds soft tissue instead of dentin
constexpr double kAirBelow = 0.87;    // delivered rows below this fraction are open air
constexpr double kCrownTop = 0.58;    // where crowns meet roots (fraction of the height)
constexpr double kApex = 0.12;        // root tips

struct Tooth {
    double centre;     // across, fraction of the delivered width
    double halfWidth;  // crown half width, fraction of the delivered width
};
constexpr Tooth kTeeth[] = {{0.20, 0.12}, {0.50, 0.14}, {0.80, 0.12}};

// Attenuation at delivered position (s across, t down), both 0..1.
double Attenuation(double s, double t)
{
    if (t > kAirBelow) return 0.0;
    double a = kSoftTissue;
    bool inTooth = false;
    for (const Tooth& tooth : kTeeth) {
        const double dx = (s - tooth.centre) / tooth.halfWidth;
        // Crown: an ellipse; its outer shell is enamel.
        const double cy = (t - 0.70) / 0.16;
        const double crown = dx * dx + cy * cy;
        if (crown < 1.0 && t > kCrownTop - 0.04) {
            inTooth = true;
            a += crown > 0.62 ? kEnamel : kDentin;
            const double px = dx / 0.22;
            const double py = (t - 0.64) / 0.06;
            if (px * px + py * py < 1.0) a += kPulp;  // pulp chamber
            break;
        }
        // Root: tapers from the crown to the apex.
        if (t >= kApex && t <= kCrownTop + 0.02) {
            const double taper = (t - kApex) / (kCrownTop + 0.02 - kApex);
            const double root = 0.72 * taper + 0.08;
            if (std::fabs(dx) < root) {
                inTooth = true;
                a += kDentin;
                if (std::fabs(dx) < 0.16 * root + 0.02) a += kPulp;  // canal
                break;
            }
        }
    }
    if (!inTooth && t < kCrownTop + 0.05) {
        const double texture = std::sin(s * 97.0) * std::sin(t * 71.0 + s * 13.0);
        a += kBone + kBoneTexture * texture;
    }
    return a;
}

}  // namespace

std::vector<float> IntraoralPhantom(int width, int height)
{
    std::vector<float> transmission(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const double across = std::max(height - 1, 1);
    const double down = std::max(width - 1, 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double s = y / across;
            const double t = (width - 1 - x) / down;
            transmission[static_cast<std::size_t>(y) * width + x] = static_cast<float>(std::exp(-Attenuation(s, t)));
        }
    }
    return transmission;
}

}  // namespace kordex
