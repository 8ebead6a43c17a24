// The difference-control weight curves.
#include "processing/difference_control.h"

#include <algorithm>
#include <cmath>

#include "platform/exact_math.h"
#include "processing/stage_context.h"
#include "processing/unsharp_mask.h"

namespace kordex {

bool NotOne(float f)
{
    return !(std::fabs(static_cast<double>(f) - 1.0) <= 0.00001);
}

bool DifferenceControlOn(const IpParams& p)
{
    const int count = platform::ClampInt(p.numSteps, 0, kMaxUsmSteps);
    for (int k = 0; k < count; ++k) {
        const UsmStep& s = p.steps[static_cast<std::size_t>(k)];
        if (s.r1 < 0 && s.r2 == 2) continue;
        if (NotOne(s.f6) || NotOne(s.f8)) return true;
    }
    return false;
}

WeightCurve::WeightCurve(int air, int water, int bone, float fAir, float fBone)
{
    const std::int64_t a = air, w = water, b = bone;
    if (!(a <= w && w <= b) || b - a + 1 > (1 << 20)) return;
    base_ = air;
    entries_.assign(static_cast<std::size_t>(b - a + 1), 1024);
    for (std::int64_t level = a; level < w; ++level) {
        const double i = static_cast<double>(w - level);
        entries_[static_cast<std::size_t>(level - a)] =
            NearClamped(1024.0 * (1.0 - (1.0 - fAir) * std::sqrt(i / static_cast<double>(w - a))));
    }
    for (std::int64_t level = w + 1; level <= b; ++level) {
        const double i = static_cast<double>(level - w);
        entries_[static_cast<std::size_t>(level - a)] =
            NearClamped(1024.0 * (1.0 - (1.0 - fBone) * std::sqrt(i / static_cast<double>(b - w))));
    }
}

std::int64_t WeightCurve::At(int level) const
{
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    return std::clamp(Unlimited(level), -kLimit, kLimit);
}

std::int64_t WeightCurve::Unlimited(int level) const
{
    if (entries_.empty()) return 1024;
    const std::int64_t n = static_cast<std::int64_t>(entries_.size());
    const std::int64_t k = static_cast<std::int64_t>(level) - base_;
    if (k >= 0 && k < n) return entries_[static_cast<std::size_t>(k)];
    if (n < 2) return entries_.front();
    if (k < 0) return entries_[0] + (-k) * (static_cast<std::int64_t>(entries_[0]) - entries_[1]);
    return entries_[static_cast<std::size_t>(n - 1)] +
           (k - (n - 1)) * (static_cast<std::int64_t>(entries_[static_cast<std::size_t>(n - 1)]) -
                            entries_[static_cast<std::size_t>(n - 2)]);
}

}  // namespace kordex
