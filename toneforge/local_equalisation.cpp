// Contrast-limited local histogram equalisation with bilinear blending
// between tiles.
//
// The image is scaled to 0 ... 1023 and every tile gets a 1024-bin histogram
// of the truncated values. The histogram is clipped at a level P found by
// bisection so that the excess above P, spread evenly over the 1024 bins,
// brings the clipped bins exactly to the clip limit Lc: bins below P are
// raised by Lc - P, all others become Lc. The tile's map is the cumulative
// histogram over the tile's area, times 1023, truncated.
//
// The clip limit is trunc((area / 1024) * m_CLSL) with the integer division
// of the pixel count. A limit below 1 counts as 1 (the map becomes a straight
// line instead of an all-zero one that would blank the tile); limits above
// 2 * area + 2 are limited there: beyond it the bisection always ends at
// P = Lc - 1, so the maps are the same, and the sums stay far inside 64 bits.
//
// Each pixel is replaced by the blend of the maps of the tiles around it,
// applied to its own level: bilinear between four tile centres, linear along
// the bands outside the first or last centre row or column, and the corner
// tile's map alone in the four corners. The result is scaled back to [0, 1].
#include <algorithm>

#include "conversions.h"
#include "row_bands.h"
#include "stages.h"

namespace toneforge {

namespace {
constexpr int kBins = 1024;
constexpr int kLast = kBins - 1;
}  // namespace

std::int64_t ClipLevel(const std::int64_t* bins, std::int64_t lc)
{
    if (lc <= 1)
        return 0;
    std::int64_t lo = 0;
    std::int64_t hi = lc;
    while (hi - lo > 1) {
        const std::int64_t mid = (lo + hi) / 2;
        std::int64_t excess = 0;
        for (int k = 0; k < kBins; ++k)
            excess += std::max<std::int64_t>(0, bins[k] - mid);
        if (excess > (lc - mid) * kBins)
            hi = mid;
        else
            lo = mid;
    }
    return lo;
}

void TileMap(std::int64_t* bins, int area, double clsl, std::int32_t* map)
{
    const double limit = static_cast<double>(area / kBins) * clsl;
    const std::int64_t ceiling = 2 * static_cast<std::int64_t>(area) + 2;
    std::int64_t lc;
    if (!(limit >= 1.0))
        lc = 1;
    else if (limit >= static_cast<double>(ceiling))
        lc = ceiling;
    else
        lc = static_cast<std::int64_t>(limit);

    const std::int64_t p = ClipLevel(bins, lc);
    for (int k = 0; k < kBins; ++k)
        bins[k] = bins[k] < p ? bins[k] + (lc - p) : lc;

    std::int64_t cumulative = 0;
    for (int k = 0; k < kBins; ++k) {
        cumulative += bins[k];
        map[k] = static_cast<std::int32_t>(static_cast<double>(cumulative) / area * 1023.0);
    }
}

void ParaLocalContrastEnhance(double* image, int width, int height, const TileGeometry& g, double clsl, int threads)
{
    if (!g.valid || width <= 0 || height <= 0)
        return;
    const long long n = static_cast<long long>(width) * height;

    // The image scaled to 0 ... 1023 is only ever used as the level
    // trunc(v), so the scaling writes the levels directly.
    std::vector<std::uint16_t> levels(static_cast<std::size_t>(n));
    {
        const MinMax m = MaxMinHKL(image, width, height, threads);
        const double range = m.max - m.min;
        const bool flat = !(range > 0.0);
        ForRowBands(threads, height, [&](const RowBand& band) {
            const long long from = static_cast<long long>(band.firstRow) * width;
            const long long to = static_cast<long long>(band.lastRow + 1) * width;
            for (long long i = from; i < to; ++i) {
                const double v = flat ? 0.0 : (image[i] - m.min) * 1023.0 / range;
                levels[i] = static_cast<std::uint16_t>(TableIndex(v, kLast));
            }
        });
    }

    const int tiles = g.nx * g.ny;
    std::vector<std::int32_t> counts(static_cast<std::size_t>(tiles) * kBins, 0);
    std::vector<std::int32_t> maps(static_cast<std::size_t>(tiles) * kBins, 0);
    std::vector<int> tileOfColumn(width);
    for (int x = 0; x < width; ++x)
        tileOfColumn[x] = std::min(x / g.tw, g.nx - 1);
    std::vector<std::int64_t> bins(kBins);

    // Histograms: one pass over the image (bands would share tiles).
    for (int y = 0; y < height; ++y) {
        const int tileRow = std::min(y / g.th, g.ny - 1);
        std::int32_t* rowCounts = counts.data() + static_cast<std::size_t>(tileRow) * g.nx * kBins;
        const std::uint16_t* row = levels.data() + static_cast<long long>(y) * width;
        for (int x = 0; x < width; ++x)
            ++rowCounts[tileOfColumn[x] * kBins + row[x]];
    }
    for (int ty = 0; ty < g.ny; ++ty) {
        for (int tx = 0; tx < g.nx; ++tx) {
            const std::size_t tile = static_cast<std::size_t>(ty) * g.nx + tx;
            std::copy_n(counts.data() + tile * kBins, kBins, bins.data());
            TileMap(bins.data(), g.widths[tx] * g.heights[ty], clsl, maps.data() + tile * kBins);
        }
    }

    // Blend, one run of columns at a time: the band left of the first
    // centre, the blocks between centres, the band from the last centre on.
    // Each band also keeps the extremes of what it wrote (searched from the
    // same starting values as ScalingHKL), for the final scaling.
    const std::int32_t* m = maps.data();
    std::vector<MinMax> bandExtremes(BandCount(threads, height), MinMax{65535.0, 0.0});
    ForRowBands(threads, height, [&](const RowBand& band) {
        MinMax extremes{65535.0, 0.0};
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const bool rowBand = g.upperTile[y] == g.lowerTile[y];
            const double fy = g.fy[y];
            const std::int32_t* upperMaps = m + static_cast<std::size_t>(g.upperTile[y]) * g.nx * kBins;
            const std::int32_t* lowerMaps = m + static_cast<std::size_t>(g.lowerTile[y]) * g.nx * kBins;
            const std::uint16_t* level = levels.data() + static_cast<long long>(y) * width;
            double* row = image + static_cast<long long>(y) * width;
            for (int segment = -1; segment < g.nx; ++segment) {
                const int from = segment < 0 ? 0 : g.centreX[segment];
                const int to = segment < 0 ? g.centreX[0] : (segment + 1 < g.nx ? g.centreX[segment + 1] : width);
                const bool single = segment < 0 || segment == g.nx - 1;
                const int left = segment < 0 ? 0 : segment;
                const int right = single ? left : segment + 1;
                const std::int32_t* ul = upperMaps + static_cast<std::size_t>(left) * kBins;
                const std::int32_t* ur = upperMaps + static_cast<std::size_t>(right) * kBins;
                const std::int32_t* ll = lowerMaps + static_cast<std::size_t>(left) * kBins;
                const std::int32_t* lr = lowerMaps + static_cast<std::size_t>(right) * kBins;
                const double* fxs = g.fx.data();
                if (rowBand && single) {
                    for (int x = from; x < to; ++x)
                        row[x] = ul[level[x]];
                } else if (rowBand) {
                    for (int x = from; x < to; ++x) {
                        const double fx = fxs[x];
                        row[x] = (1.0 - fx) * ul[level[x]] + fx * ur[level[x]];
                    }
                } else if (single) {
                    for (int x = from; x < to; ++x)
                        row[x] = (1.0 - fy) * ul[level[x]] + fy * ll[level[x]];
                } else {
                    for (int x = from; x < to; ++x) {
                        const int k = level[x];
                        const double fx = fxs[x];
                        row[x] = (1.0 - fx) * (1.0 - fy) * ul[k] + fx * (1.0 - fy) * ur[k] + (1.0 - fx) * fy * ll[k] +
                                 fx * fy * lr[k];
                    }
                }
            }
            for (int x = 0; x < width; ++x) {
                if (row[x] > extremes.max)
                    extremes.max = row[x];
                if (row[x] < extremes.min)
                    extremes.min = row[x];
            }
        }
        bandExtremes[band.index] = extremes;
    });

    // Scaled back to [0, 1] exactly as ScalingHKL would.
    MinMax e{65535.0, 0.0};
    for (const MinMax& b : bandExtremes) {
        if (b.max > e.max)
            e.max = b.max;
        if (b.min < e.min)
            e.min = b.min;
    }
    const double range = e.max - e.min;
    ForRowBands(threads, height, [&](const RowBand& band) {
        const long long from = static_cast<long long>(band.firstRow) * width;
        const long long to = static_cast<long long>(band.lastRow + 1) * width;
        for (long long i = from; i < to; ++i)
            image[i] = range > 0.0 ? (image[i] - e.min) * 1.0 / range : 0.0;
    });
}

}  // namespace toneforge
