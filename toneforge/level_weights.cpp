// The level-weight table of the adaptive unsharp mask: how strongly the
// detail is added back, by the smoothed level of the pixel (512 levels).
//
// Up to the threshold level trunc(m_AUMTH * 511) the weight is m_AUMWL; from
// the next entry on it rises linearly so that it would be m_AUMWL at level
// m_AUMTH and is m_AUMWH at level 1. A threshold at or above 1 leaves the
// whole table at m_AUMWL (the rising part is empty, so 1 - m_AUMTH never
// divides); a negative threshold starts the rising part at entry 0.
#include <algorithm>

#include "conversions.h"
#include "stages.h"

namespace toneforge {

std::array<double, 512> LevelWeightTable(const _tagIMG_PARAM_IntraOral& p)
{
    const double a = p.m_AUMTH;
    const double b = p.m_AUMWH;
    const double c = p.m_AUMWL;
    const long long t = std::clamp<long long>(static_cast<long long>(TruncSize(a * 511)) + 1, 0, 512);
    std::array<double, 512> table{};
    for (long long i = 0; i < t; ++i)
        table[i] = c;
    for (long long i = t; i < 512; ++i)
        table[i] = b + (i / 511.0 - 1.0) * (b - c) / (1.0 - a);
    return table;
}

}  // namespace toneforge
