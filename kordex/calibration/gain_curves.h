// The per-pixel transfer curves of the gain step.
//
// For the pixel being corrected: v its value, n the point count, L the levels
// and F the pixel's values in the point frames. Every division has the form
// (x + (d >> 1) - 1) / d, truncating toward zero. The products v * L and
// (L(i+1) - Li) * (v - Fi) are formed in 64 bits: five-digit levels times
// 16-bit values leave the 32-bit range, and the results that fit are the same
// as in 32 bits. The curves return 64-bit values; the step clips them.
//
// The divisions are carried out in double precision, which gives exactly
// the truncated integer quotient here: the numerators stay below 2^35 in
// magnitude (16-bit values times levels of at most five digits) and the
// divisors below 2^16, so a quotient is never within one ulp of the next
// integer unless it is that integer.
//
// F is read for each point from its own frame (the point-major layout of
// GainPointSet): the pass hands the curve the current row of every point
// frame, and `rows[i][x]` is Fi.
#pragma once

#include <cstdint>

#include "calibration/neville.h"

namespace kordex {

struct GainCurveInput {
    const std::int16_t* const* rows;  // the current row of each of the n point frames
    const std::int32_t* levels;       // n ascending levels
    int n;
};

// (x + (d >> 1) - 1) / d, truncated toward zero; d > 0.
inline std::int64_t GainDivide(std::int64_t x, std::int64_t d)
{
    return static_cast<std::int64_t>(static_cast<double>(x + (d >> 1) - 1) / static_cast<double>(d));
}

// One point, and the rule below the first point of the others.
inline std::int64_t GainSinglePoint(std::int32_t f0, std::int32_t l0, std::int32_t v)
{
    if (f0 <= 0) return 0;
    return GainDivide(static_cast<std::int64_t>(v) * l0, f0);
}

// Linear on segment i (points i and i+1); 0 when the pixel's values do not
// increase there.
inline std::int64_t GainSegment(std::int32_t fi, std::int32_t fj, std::int32_t li, std::int32_t lj, std::int32_t v)
{
    if (fj <= fi) return 0;
    return li + GainDivide(static_cast<std::int64_t>(lj - li) * (static_cast<std::int64_t>(v) - fi),
                           static_cast<std::int64_t>(fj) - fi);
}

struct GainSinglePointCurve {
    static std::int64_t At(const GainCurveInput& in, int x, std::int32_t v)
    {
        return GainSinglePoint(in.rows[0][x], in.levels[0], v);
    }
};

// The top segment whose lower point is at or below v (searched from the
// top); v above the top point extrapolates along the top segment.
struct GainPiecewiseLinearCurve {
    static std::int64_t At(const GainCurveInput& in, int x, std::int32_t v)
    {
        for (int i = in.n - 2; i >= 0; --i) {
            const std::int32_t fi = in.rows[i][x];
            if (v >= fi) return GainSegment(fi, in.rows[i + 1][x], in.levels[i], in.levels[i + 1], v);
        }
        return GainSinglePoint(in.rows[0][x], in.levels[0], v);
    }
};

// Polynomial through all points, clamped into the levels of the segment that
// brackets v; linear outside the points' range.
struct GainLagrangeCurve {
    static std::int64_t At(const GainCurveInput& in, int x, std::int32_t v)
    {
        if (v <= 0) return 0;
        const int n = in.n;
        std::int32_t f[32];
        for (int i = 0; i < n; ++i) f[i] = in.rows[i][x];
        if (v <= f[0]) return GainSinglePoint(f[0], in.levels[0], v);
        if (v >= f[n - 1]) return GainSegment(f[n - 2], f[n - 1], in.levels[n - 2], in.levels[n - 1], v);
        std::int64_t p = NevilleInterpolate(f, in.levels, n, v);
        for (int i = 0; i + 1 < n; ++i) {
            if (f[i] <= v && v < f[i + 1]) {
                if (p < in.levels[i]) p = in.levels[i];
                if (p > in.levels[i + 1]) p = in.levels[i + 1];
                break;
            }
        }
        return p;
    }
};

}  // namespace kordex
