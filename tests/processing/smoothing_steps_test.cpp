// Directional and weighted smoothing against plain per-pixel references of
// their rules: sector means by integer division, the closest line (Tag 1) or
// sector pair (Tag 0) with first-on-ties, the weighted blend; the weighted
// disc sums in disc order. Random images over the full 16-bit range and over
// a few levels (where ties are common), radii from the smallest to the
// largest the tables take, odd shapes, weights that need 64-bit products,
// extreme thresholds and difference control.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/exact_math.h"
#include "processing/smoothing_steps.h"
#include "stage_fixture.h"

namespace {

using kordex::SmoothingControl;
using kordex::WeightCurve;

std::vector<std::int16_t> DirectionalReference(const std::vector<std::int16_t>& src, int w, int h, int rad, int tag,
                                               const SmoothingControl& control)
{
    std::array<std::vector<std::array<int, 2>>, 8> sectors;
    for (int y = -rad; y <= rad; ++y)
        for (int x = -rad; x <= rad; ++x) {
            if ((x == 0 && y == 0) || x * x + y * y > rad * rad) continue;
            const int s = static_cast<int>((std::atan2(static_cast<double>(y), static_cast<double>(x)) + M_PI / 8 + M_PI) /
                                           (M_PI / 4)) % 8;
            sectors[static_cast<std::size_t>(s)].push_back({x, y});
        }
    std::vector<std::int16_t> out = src;
    for (int y = rad; y < h - rad; ++y)
        for (int x = rad; x < w - rad; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const int v = src[i];
            int mean[8];
            for (int k = 0; k < 8; ++k) {
                int sum = 0;
                for (const auto& o : sectors[static_cast<std::size_t>(k)])
                    sum += src[static_cast<std::size_t>(y + o[1]) * w + x + o[0]];
                mean[k] = sum / static_cast<int>(sectors[static_cast<std::size_t>(k)].size());
            }
            int target;
            if (tag == 1) {
                target = (mean[0] + mean[4]) / 2;
                for (int t = 1; t < 4; ++t) {
                    const int l = (mean[t] + mean[t + 4]) / 2;
                    if (std::abs(l - v) < std::abs(target - v)) target = l;
                }
            } else {
                int k = 0;
                for (int t = 1; t < 8; ++t)
                    if (std::abs(mean[t] - v) < std::abs(mean[k] - v)) k = t;
                target = (mean[k] + mean[(k + 3) % 8]) / 2;
                for (int j : {(k + 4) % 8, (k + 5) % 8}) {
                    const int pair = (mean[k] + mean[j]) / 2;
                    if (std::abs(pair - v) < std::abs(target - v)) target = pair;
                }
            }
            std::int64_t m = control.weight;
            if (control.density && control.positive)
                m = std::min<std::int64_t>(control.positive->Weight(control.density[i], control.weight), 1024);
            out[i] = platform::Wrap16((((static_cast<std::int64_t>(target) - v) * m + 511) >> 10) + v);
        }
    return out;
}

struct SmoothingCase {
    int width, height, rad, tag;
    std::int64_t weight;
    int lo, hi;  // sample range
    bool control;
    int threads;
};

using Step = int (*)(const kordex::StageContext&, int rad, int tag, const SmoothingControl&);
using ReferenceStep = std::vector<std::int16_t> (*)(const std::vector<std::int16_t>&, int w, int h, int rad, int tag,
                                                    const SmoothingControl&);

// A random image (and density image) of the case, the step on it, and the
// reference on the same input.
void ExpectTheReference(const SmoothingCase& c, std::mt19937& random, Step step, ReferenceStep reference)
{
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " rad " << c.rad << " tag " << c.tag
                                      << " weight " << c.weight << " range " << c.lo << ".." << c.hi);
    test_support::StageFixture f(c.width, c.height, c.threads);
    std::uniform_int_distribution<int> sample(c.lo, c.hi);
    for (auto& v : f.image) v = static_cast<std::int16_t>(sample(random));
    std::vector<std::int16_t> density(f.image.size());
    for (auto& v : density) v = static_cast<std::int16_t>(sample(random));
    const WeightCurve curve(500, 1500, 2500, 0.3f, 2.5f);
    SmoothingControl control;
    control.weight = c.weight;
    if (c.control) {
        control.density = density.data();
        control.positive = &curve;
    }
    const auto expected = reference(f.image, c.width, c.height, c.rad, c.tag, control);
    ASSERT_EQ(step(f.ctx, c.rad, c.tag, control), 1);
    EXPECT_EQ(f.image, expected);
    EXPECT_EQ(f.abortState, 0);
}

TEST(DirectionalSmoothing, MatchesThePlainRule)
{
    const SmoothingCase cases[] = {
        {64, 48, 2, 0, 256, -32768, 32767, false, 2},
        {64, 48, 2, 1, 256, -32768, 32767, false, 1},
        {97, 53, 3, 1, 256, 0, 4, false, 2},
        {97, 53, 4, 0, 256, 0, 4, false, 3},
        {300, 41, 4, 0, -256, 900, 1100, false, 2},
        {531, 37, 5, 1, 1024, -40, 40, false, 2},
        {531, 37, 6, 0, 1024, -32768, 32767, false, 2},
        {80, 80, 10, 0, 30000, -32768, 32767, false, 2},
        {80, 80, 10, 1, -5000000, 0, 3, false, 2},
        {71, 70, 17, 0, 512, -2000, 2000, false, 2},
        {71, 70, 17, 1, 512, 0, 2, false, 1},
        {9, 9, 4, 0, 256, -32768, 32767, false, 1},   // one pixel far enough from every edge
        {300, 40, 4, 0, 256, 0, 3000, true, 2},
        {300, 40, 3, 1, 90000, 0, 3000, true, 2},
    };
    std::mt19937 random(7);
    for (const auto& c : cases) ExpectTheReference(c, random, kordex::DirectionalSmoothing, DirectionalReference);
}

std::vector<std::int16_t> WeightedReference(const std::vector<std::int16_t>& src, int w, int h, int rad, int tag,
                                            const SmoothingControl& control)
{
    const std::int64_t threshold = std::llabs(static_cast<long long>(tag));
    const std::int64_t t1 = threshold / 2, t2 = 2 * (threshold / 2);
    std::vector<std::int16_t> out = src;
    for (int y = rad; y < h - rad; ++y)
        for (int x = rad; x < w - rad; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const int v = src[i];
            double sum = 0, total = 0;
            for (int dy = -rad; dy <= rad; ++dy)
                for (int dx = -rad; dx <= rad; ++dx) {
                    if (dx * dx + dy * dy > rad * rad) continue;
                    const int s = src[static_cast<std::size_t>(y + dy) * w + x + dx];
                    const std::int64_t d = std::abs(s - v);
                    if (d < t1) {
                        sum += s;
                        total += 1;
                    } else if (d < t2) {
                        const double u = 1.0 - static_cast<double>(d - t1) / static_cast<double>(t1);
                        sum += platform::Near(u * s);
                        total += u;
                    }
                }
            if (total > 0.00001) {
                std::int64_t m = control.weight;
                if (control.density && control.positive)
                    m = std::min<std::int64_t>(control.positive->Weight(control.density[i], control.weight), 1024);
                const std::int64_t mean = kordex::NearClamped(sum / total);
                out[i] = platform::Wrap16(v - ((m * (v - mean) - 512) >> 10) - 1);
            }
        }
    return out;
}

TEST(WeightedSmoothing, MatchesThePlainRule)
{
    const SmoothingCase cases[] = {
        {64, 48, 1, -1, 256, -32768, 32767, false, 2},  // threshold 1: T1 = 0, nothing changes
        {64, 48, 1, -2, 256, 0, 3, false, 1},
        {97, 53, 2, -3, 256, -32768, 32767, false, 2},
        {300, 41, 3, -50, 1024, 900, 1100, false, 3},
        {531, 37, 5, -400, -256, -2000, 2000, false, 2},
        {80, 80, 10, -100001, 512, -32768, 32767, false, 2},
        {80, 80, 10, -2147483647 - 1, 512, -32768, 32767, false, 2},
        {71, 70, 18, -120, 30000, 0, 300, false, 2},
        {11, 11, 5, -60, 256, 0, 100, false, 1},  // one pixel far enough from every edge
        {300, 40, 4, -200, 256, 0, 3000, true, 2},
    };
    std::mt19937 random(9);
    for (const auto& c : cases) ExpectTheReference(c, random, kordex::WeightedSmoothing, WeightedReference);
}

TEST(DirectionalSmoothing, RadiusWithAnEmptyOrOverfullSectorFailsTheRun)
{
    for (const int rad : {1, 18}) {
        SCOPED_TRACE(rad);
        test_support::StageFixture f(64, 64);
        for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(i % 97);
        const auto before = f.image;
        SmoothingControl control;
        control.weight = 256;
        EXPECT_EQ(kordex::DirectionalSmoothing(f.ctx, rad, 0, control), -1);
        EXPECT_EQ(f.abortState, -1);
        EXPECT_EQ(f.image, before);
    }
}

}  // namespace
