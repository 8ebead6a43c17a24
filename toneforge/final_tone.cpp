// The final stage: auto-level, a gamma set by the mean brightness, and a
// two-branch sigmoid, written to the 16-bit output through one 4096-entry
// table each (no powers or exponentials per pixel).
//
// The mean counts only the sampled values (columns 0, 16, 32, ... of every
// row) above 1.1 * m_ALS1; with none above, the mean is 0 and the gamma is
// 0.09138 + m_FinalGamma. The sigmoid's branches meet in a straight piece
// between entries 1842 and 2251; the curve is then stretched to m_Test_S1 ...
// 0.9 of full scale (all m_Test_S1 when its two ends coincide), so the
// darkest output is trunc(m_Test_S1 * 4095). Output values are limited to
// the 12-bit range.
#include <cmath>

#include "conversions.h"
#include "row_bands.h"
#include "stages.h"

namespace toneforge {

namespace {
constexpr int kLevels = 4096;
constexpr int kLast = kLevels - 1;
constexpr int kLowerEnd = 1841;   // last entry of the lower branch
constexpr int kUpperStart = 2252; // first entry of the upper branch

double Sigmoid(int i, double steepness)
{
    return 1.0 / (1.0 + std::exp(-(i / 4095.0 - 0.5) * steepness));
}

std::uint16_t OutputLevel(double s)
{
    return static_cast<std::uint16_t>(TableIndex(s * 4095.0, kLast));
}
}  // namespace

double FinalGamma(const double* image, int width, int height, const _tagIMG_PARAM_IntraOral& p)
{
    const double threshold = 1.1 * p.m_ALS1;
    double sum = 0.0;
    long long count = 0;
    for (int y = 0; y < height; ++y) {
        const double* row = image + static_cast<long long>(y) * width;
        for (int x = 0; x < width; x += 16) {
            if (row[x] > threshold) {
                sum += row[x];
                ++count;
            }
        }
    }
    const double mean = count > 0 ? sum / static_cast<double>(count) : 0.0;
    return std::exp(3.98200135388046 * mean) * 0.09138 + p.m_FinalGamma;
}

std::vector<double> SigmoidTable(double cL, double cH)
{
    std::vector<double> s(kLevels);
    for (int i = 0; i <= kLowerEnd; ++i)
        s[i] = Sigmoid(i, cL);
    for (int i = kUpperStart; i < kLevels; ++i)
        s[i] = Sigmoid(i, cH);
    for (int i = kLowerEnd + 1; i < kUpperStart; ++i)
        s[i] = s[kLowerEnd] + (i - (kLowerEnd + 1)) * (s[kUpperStart] - s[kLowerEnd]) / 410.0;
    return s;
}

std::vector<std::uint16_t> OutputTable(const _tagIMG_PARAM_IntraOral& p)
{
    std::vector<double> s = SigmoidTable(p.m_ABCGS_cL, p.m_ABCGS_cH);
    const double first = s[0];
    const double range = s[kLast] - first;
    const double low = p.m_Test_S1;
    std::vector<std::uint16_t> out(kLevels);
    for (int i = 0; i < kLevels; ++i) {
        const double v = range != 0.0 ? (s[i] - first) * (0.9 - low) / range + low : low;
        out[i] = OutputLevel(v);
    }
    return out;
}

void AdjustBrightContrastGammaSigmoid(double* image, int width, int height, const _tagIMG_PARAM_IntraOral& p,
                                      std::uint16_t* output, int threads)
{
    AutoLevel_20070201(image, width, height, p.m_ALCL, p.m_ALCH, 0.0, threads);
    const double gamma = FinalGamma(image, width, height, p);

    std::vector<double> power(kLevels);
    for (int i = 0; i < kLevels; ++i)
        power[i] = std::pow(i / 4095.0, gamma);
    const std::vector<std::uint16_t> out = OutputTable(p);

    // The gamma and the sigmoid are applied one after the other, each through
    // its table, exactly as two passes would.
    const std::uint16_t* o = out.data();
    ForRowBands(threads, height, [&](const RowBand& band) {
        const long long from = static_cast<long long>(band.firstRow) * width;
        const long long to = static_cast<long long>(band.lastRow + 1) * width;
        for (long long i = from; i < to; ++i) {
            const double v = power[TableIndex(image[i] * kLast, kLast)];
            image[i] = v;
            output[i] = o[TableIndex(v * kLast, kLast)];
        }
    });
}

}  // namespace toneforge
