// Directional and weighted smoothing and the intrinsic sharpening against
// plain per-pixel references of their rules: sector means by integer
// division, the closest line (Tag 1) or sector pair (Tag 0) with
// first-on-ties, the weighted blend; the weighted disc sums in disc order;
// the sharpening's contour and level tables entry by entry, and only pixels
// at least Rad away from every edge changed. Random images over the full 16-bit range and over
// a few levels (where ties are common), radii from the smallest to the
// largest the tables take, odd shapes, weights that need 64-bit products,
// extreme thresholds and difference control.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/exact_math.h"
#include "processing/box_smooth.h"
#include "processing/histogram.h"
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

using Step = kordex::StageResult (*)(const kordex::StageContext&, int rad, int tag, const SmoothingControl&);
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

// The sine table of the rules over lo..hi with start share a and top share
// b, and its lookup.
std::vector<double> PlainSineTable(int lo, int hi, double a, double b, double p0, double p1)
{
    const int n = hi - lo + 1;
    const int s = static_cast<int>(a * n / 100), e = n - static_cast<int>(b * n / 100) - 1;
    std::vector<double> t(static_cast<std::size_t>(n));
    for (int j = s; j <= e; ++j) t[static_cast<std::size_t>(j)] = std::sin(p0 + (p1 - p0) * (j - s) / (e - s));
    const auto [mn, mx] = std::minmax_element(t.begin() + s, t.begin() + e + 1);
    const double low = *mn, high = *mx;
    for (int j = s; j <= e; ++j) t[static_cast<std::size_t>(j)] = (t[static_cast<std::size_t>(j)] - low) / (high - low);
    for (int j = 0; j < s; ++j) t[static_cast<std::size_t>(j)] = t[static_cast<std::size_t>(s)];
    for (int j = e + 1; j < n; ++j) t[static_cast<std::size_t>(j)] = t[static_cast<std::size_t>(e)];
    return t;
}

double Lookup(const std::vector<double>& t, int lo, int x)
{
    const int n = static_cast<int>(t.size());
    if (x - lo < 1) return t.front();
    if (x - lo < n - 1) return t[static_cast<std::size_t>(x - lo)];
    return t.back();
}

std::vector<std::int16_t> Box(const std::vector<std::int16_t>& src, int w, int h, int r)
{
    std::vector<std::int16_t> out(src.size());
    kordex::BoxSmoothInto(w, h, r, src.data(), out.data(), nullptr, 1);
    return out;
}

struct IntrinsicCase {
    int width, height, rad, weight;
    float f8, f9;
    int threads;
};

// The rules step by step on a copy; the smoothing and the histogram cut are
// the library's own (tested on their own).
std::vector<std::int16_t> IntrinsicReference(const std::vector<std::int16_t>& src, const IntrinsicCase& c,
                                             const kordex::IpParams& p)
{
    const int w = c.width, h = c.height, r = c.rad;
    const std::vector<std::int16_t> box1 = Box(src, w, h, r), box2 = Box(src, w, h, 2 * r);
    test_support::StageFixture contour(w, h, 1);
    for (std::size_t i = 0; i < src.size(); ++i) contour.image[i] = static_cast<std::int16_t>(std::abs(box1[i] - box2[i]));
    kordex::BoxSmooth(w, h, 2 * r + r / 3, contour.image.data(), nullptr, 1);
    int mn, mx, lo, hi;
    kordex::HistogramCut(contour.ctx, 0.01, 0.01, false, &mn, &mx, &lo, &hi);
    const std::vector<std::int16_t>& cImage = contour.image;
    const std::vector<std::int16_t> b = Box(src, w, h, r + 1);
    int levelLo, levelHi;
    std::vector<double> level;
    if (r < 6) {
        levelLo = p.c3oAir;
        levelHi = std::min(p.c3oWat + static_cast<int>(0.75 * (p.c3oBon - p.c3oWat)), p.c3oMax);
        level = PlainSineTable(levelLo, levelHi, 0, 0, -0.5235984, 4.2411466);
    } else {
        levelLo = *std::min_element(b.begin(), b.end());
        levelHi = *std::max_element(b.begin(), b.end());
        level = PlainSineTable(levelLo, levelHi, 0, 0, -0.7853975, 3.1415901);
    }
    const int n = static_cast<int>(level.size()), o = static_cast<int>(n * 0.85), top = n - o - 1;
    for (int j = 1; j <= top; ++j) level[static_cast<std::size_t>(o + j)] = (1.0 - static_cast<double>(j) / top) * level[static_cast<std::size_t>(o)];
    const int cLo = *std::min_element(cImage.begin(), cImage.end());
    const int cHi = *std::max_element(cImage.begin(), cImage.end());
    // Over C's whole range: the sine over the lower half, the upper half 0.
    const std::vector<double> cont = PlainSineTable(cLo, cHi, 0, 50, 1.570795, 4.712385);
    const double f = c.weight * 0.06, g = c.weight * 0.06 * static_cast<double>(c.f9);
    const int r2 = platform::Near((r + 1) * static_cast<double>(c.f8));
    const bool second = r2 > 0 && g > 0;
    const std::vector<std::int16_t> b2 = second ? Box(src, w, h, r2) : std::vector<std::int16_t>();
    std::vector<std::int16_t> out = src;
    for (int y = r; y < h - r; ++y)
        for (int x = r; x < w - r; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const double wt = Lookup(cont, cLo, cImage[i]) * Lookup(level, levelLo, b[i]);
            if (wt <= 0) continue;
            const int v = src[i];
            std::int64_t value = v + static_cast<std::int64_t>(wt * (v - b[i]) * f);
            if (second) value += static_cast<std::int64_t>(g * wt * (v - b2[i]));
            out[i] = platform::Wrap16(value);
        }
    return out;
}

// Bright discs on a ramp with a little noise: contours of every strength.
void PhantomImage(test_support::StageFixture& f, int amplitude, std::mt19937& random)
{
    std::uniform_int_distribution<int> noise(-amplitude / 40, amplitude / 40);
    const int w = f.ctx.width, h = f.ctx.height;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int dx = x - w / 3, dy = y - h / 2, ex = x - 2 * w / 3;
            int v = -amplitude + amplitude * x / w;
            if (dx * dx + dy * dy < h * h / 9) v += amplitude;
            if (ex * ex + dy * dy < h * h / 16) v += amplitude / 2;
            f.At(x, y) = static_cast<std::int16_t>(v + noise(random));
        }
}

TEST(IntrinsicSharpening, MatchesThePlainRuleAndLeavesTheBorder)
{
    const IntrinsicCase cases[] = {
        {24, 16, 2, 100, 1.0f, 0.0f, 1},  // no second radius: G = 0
        {24, 16, 2, 100, 1.0f, 0.0f, 3},
        {64, 48, 3, 50, 0.8f, 0.5f, 2},
        {97, 61, 4, 25, 1.5f, 1.2f, 2},
        {120, 90, 7, 40, 0.6f, 0.9f, 2},  // the level table over B's range
        {60, 45, 6, -20, 1.0f, 1.0f, 1},  // a negative weight: no second radius
    };
    std::mt19937 random(11);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " rad " << c.rad << " W " << c.weight
                                          << " threads " << c.threads);
        test_support::StageFixture f(c.width, c.height, c.threads);
        PhantomImage(f, 900, random);
        const std::vector<std::int16_t> before = f.image;
        const auto expected = IntrinsicReference(before, c, f.params);
        kordex::UsmStep step{-c.rad, 2, 0, 0, c.weight, 1.0f, 1.0f, c.f8, c.f9};
        ASSERT_EQ(kordex::IntrinsicSharpening(f.ctx, c.rad, step), 1);
        EXPECT_EQ(f.image, expected);
        int changed = 0, borderChanged = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const bool differs = f.At(x, y) != before[static_cast<std::size_t>(y) * c.width + x];
                const bool border = x < c.rad || y < c.rad || x >= c.width - c.rad || y >= c.height - c.rad;
                changed += differs;
                borderChanged += differs && border;
            }
        EXPECT_GT(changed, 0);
        EXPECT_EQ(borderChanged, 0);
    }
}

constexpr int kFaintEdge = 100;

TEST(IntrinsicSharpening, AContourOfTenToNineteenLevelsHasItsTable)
{
    // A faint edge: C spans 10 to 19 levels, so the lower half alone would
    // hold fewer than 10 and could not be built.
    test_support::StageFixture f(30, 20, 2);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) f.At(x, y) = static_cast<std::int16_t>(x < 15 ? 100 : 100 + kFaintEdge);
    const IntrinsicCase c{30, 20, 2, 100, 1.0f, 0.0f, 2};
    {
        // The precondition, measured as the step measures it.
        const std::vector<std::int16_t> b1 = Box(f.image, 30, 20, 2), b2 = Box(f.image, 30, 20, 4);
        test_support::StageFixture contour(30, 20, 1);
        for (std::size_t i = 0; i < b1.size(); ++i) contour.image[i] = static_cast<std::int16_t>(std::abs(b1[i] - b2[i]));
        kordex::BoxSmooth(30, 20, 4, contour.image.data(), nullptr, 1);
        int mn, mx, lo, hi;
        kordex::HistogramCut(contour.ctx, 0.01, 0.01, false, &mn, &mx, &lo, &hi);
        const auto [cmin, cmax] = std::minmax_element(contour.image.begin(), contour.image.end());
        ASSERT_GE(*cmax - *cmin + 1, 10);
        ASSERT_LT(*cmax - *cmin + 1, 20);
    }
    const auto expected = IntrinsicReference(f.image, c, f.params);
    kordex::UsmStep step{-2, 2, 0, 0, 100, 1.0f, 1.0f, 1.0f, 0.0f};
    EXPECT_EQ(kordex::IntrinsicSharpening(f.ctx, 2, step), 1);
    EXPECT_EQ(f.image, expected);
}

}  // namespace
