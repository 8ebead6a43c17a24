// Histogram auto-level, shared by the exposure recognition and the final
// stage.
//
// The histogram samples every 16th value of the image (flat index 0, 16, 32,
// ...) into 4096 bins, and its counts are taken as fractions of n / 16 (n the
// pixel count), so they sum to about 1. Bin 0 never counts toward the
// cumulative sums, and table entry 0 is always 0: a value of exactly 0 stays 0
// whatever the base.
//
// Where the fractions leave an index undefined: no level reaching the lower
// fraction gives l = 4096 (every level but 0 goes to the base), an upper
// fraction above 1 gives u = 0; when u = l the single level maps to the base.
#include "conversions.h"
#include "row_bands.h"
#include "stages.h"

namespace toneforge {

namespace {
constexpr int kLevels = 4096;
constexpr int kLast = kLevels - 1;
}  // namespace

std::vector<double> AutoLevelTable(const double* image, int width, int height, double low, double high, double base)
{
    std::vector<long long> counts(kLevels, 0);
    const long long n = static_cast<long long>(width) * height;
    for (long long i = 0; i < n; i += 16)
        ++counts[TableIndex(image[i] * kLast, kLast)];

    const double sampleWeight = static_cast<double>(n) * 0.0625;
    std::vector<double> cumulative(kLevels, 0.0);
    for (int k = 1; k < kLevels; ++k)
        cumulative[k] = cumulative[k - 1] + counts[k] / sampleWeight;

    int l = kLevels;
    for (int k = 0; k < kLevels; ++k) {
        if (cumulative[k] >= low) {
            l = k;
            break;
        }
    }
    int u = 0;
    if (cumulative[kLast] <= 1.0 - high) {
        u = kLast;
    } else {
        for (int k = kLast - 1; k >= 0; --k) {
            if (cumulative[k] <= 1.0 - high) {
                u = k;
                break;
            }
        }
    }

    std::vector<double> table(kLevels, 0.0);
    for (int k = 1; k < kLevels; ++k) {
        if (k < l)
            table[k] = base;
        else if (k > u)
            table[k] = 1.0;
        else if (u == l)
            table[k] = base;
        else
            table[k] = (k - l) * (1.0 - base) / (u - l) + base;
    }
    return table;
}

void AutoLevel_20070201(double* image, int width, int height, double low, double high, double base, int threads)
{
    ScalingHKL(image, width, height, 1.0, threads);
    const std::vector<double> table = AutoLevelTable(image, width, height, low, high, base);
    const double* t = table.data();
    ForRowBands(threads, height, [&](const RowBand& band) {
        double* v = image + static_cast<long long>(band.firstRow) * width;
        const long long n = static_cast<long long>(band.lastRow - band.firstRow + 1) * width;
        for (long long i = 0; i < n; ++i)
            v[i] = t[TableIndex(v[i] * kLast, kLast)];
    });
}

}  // namespace toneforge
