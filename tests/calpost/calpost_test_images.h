// Synthetic frames for the Calpost tests: a deterministic noise source and a
// small intraoral-like phantom, so every run sees the same pixels.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace calpost_test {

// A small linear congruential generator: the same numbers on every platform.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed) {}
    // Uniform in 0..1.
    double Uniform()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) / 16777216.0;
    }
    // Roughly normal with mean 0 and deviation 1 (sum of twelve uniforms).
    double Normal()
    {
        double s = 0.0;
        for (int i = 0; i < 12; ++i) s += Uniform();
        return s - 6.0;
    }

private:
    std::uint32_t state_;
};

// A radiograph-like frame: a smooth background, two bright "teeth" ellipses
// with a darker pulp, a dark gap, and noise of about 15 grey levels.
inline std::vector<std::uint16_t> Phantom(int width, int height, std::uint32_t seed = 7)
{
    Noise noise(seed);
    std::vector<std::uint16_t> image(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const double v = static_cast<double>(y) / height;
            double value = 600.0 + 400.0 * u + 200.0 * v;
            for (const double cx : {0.3, 0.7}) {
                const double dx = (u - cx) / 0.15;
                const double dy = (v - 0.55) / 0.35;
                const double r = dx * dx + dy * dy;
                if (r < 1.0) value += 1800.0 * (1.0 - 0.5 * r);
                if (r < 0.15) value -= 700.0;
            }
            if (v < 0.15) value = 3600.0;
            value += 15.0 * noise.Normal();
            image[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                static_cast<std::uint16_t>(std::lround(value));
        }
    }
    return image;
}

}  // namespace calpost_test
