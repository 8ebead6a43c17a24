// Difference control: the weight of a sharpening step as a function of the
// local density level, 1.0 at the water level and moving (along a square
// root) to a given factor at the air and bone levels.
#pragma once

#include <cstdint>
#include <vector>

#include "processing/ip_params.h"

namespace kordex {

class WeightCurve {
public:
    // The curve over the levels air..bone (output points of the run) with the
    // factors at air and bone. A side whose length is 0 has factor 1; levels
    // that are not ordered (air <= water <= bone) or span more than 2^20
    // levels give the constant curve 1024 (no control).
    WeightCurve(int air, int water, int bone, float fAir, float fBone);

    // The curve value (1024 = factor 1) at a density level; outside air..bone
    // it continues with the slope of the last two entries on that side,
    // limited to +-2^31.
    std::int64_t At(int level) const;

    // (max(0, At(level)) * weight + 511) >> 10.
    std::int64_t Weight(int level, std::int64_t weight) const
    {
        const std::int64_t c = At(level);
        return ((c > 0 ? c : 0) * weight + 511) >> 10;
    }

private:
    std::int64_t Unlimited(int level) const;
    int base_ = 0;
    std::vector<std::int32_t> entries_;  // empty = constant 1024
};

// True when a float differs from 1 by more than 0.00001.
bool NotOne(float f);

}  // namespace kordex
