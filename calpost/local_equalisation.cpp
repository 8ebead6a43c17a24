// Local equalisation.
//
// An image of one value is left as it is: it has nothing to equalise, and
// rescaling it would divide by zero (and equalising it anyway would paint
// the differences between tile sizes into a flat image).
//
// Clip level: a tile of fewer pixels than grey levels gives pixels / G = 0
// in integer arithmetic, and a clip level of 0 would empty every histogram
// and blank the whole image. The level is at least 1 -- a histogram clipped
// at 1 per bin is flat, so such a tile maps its values linearly.
//
// Tile sizes: a divisor below 1 counts as 1 and a tile is at least one
// pixel, so (length / d) / 2 coming out as 0 (the "one less when even" rule
// would make it -1) cannot divide by zero. The clip level and the mapping
// (G - 1) * cumulative / pixels are integer arithmetic in 64 bits.
//
// Blending: a pixel between four tile centres takes the bilinear blend of
// their mappings of its value. Outside the outermost centres the blend
// degenerates along that axis to the edge tiles (a = 0 or b = 0 with the
// same tile on both sides), so the border bands blend only along the other
// axis and the four corners take one tile's mapping, as is usual for this
// kind of equalisation. The blend is evaluated as two interpolations along
// the row and one down the column -- the same weights (1-a)(1-b), a(1-b),
// (1-a)b and ab -- because that form returns equal mappings exactly: the
// four-product sum is off by an ulp here and there, and the final rescale
// would blow that up into a pattern where neighbouring tiles agree.
//
// Mappings are kept for two rows of tiles at a time, so memory does not grow
// with the number of tile rows; the histograms are taken from a copy of the
// rescaled image, so the blend can write in place.
#include "calpost/local_equalisation.h"

#include <algorithm>
#include <cstddef>

#include "calpost/range_scan.h"

namespace calpost {
namespace {

struct Blend {
    int first = 0;   // tile index on the lower side
    int second = 0;  // tile index on the upper side
    double weight = 0.0;  // distance from the first centre over the spacing
};

std::vector<Blend> Blends(const TileAxis& axis, int length)
{
    std::vector<Blend> blends(static_cast<std::size_t>(length));
    const int last = axis.count - 1;
    int i = 0;
    for (int x = 0; x < length; ++x) {
        Blend& b = blends[static_cast<std::size_t>(x)];
        if (x < axis.centres[0]) {
            b = {0, 0, 0.0};
        } else if (x >= axis.centres[static_cast<std::size_t>(last)]) {
            b = {last, last, 0.0};
        } else {
            while (axis.centres[static_cast<std::size_t>(i) + 1] <= x) ++i;
            const int c0 = axis.centres[static_cast<std::size_t>(i)];
            const int c1 = axis.centres[static_cast<std::size_t>(i) + 1];
            b = {i, i + 1, static_cast<double>(x - c0) / static_cast<double>(c1 - c0)};
        }
    }
    return blends;
}

inline int Bin(double v, int greyLevels)
{
    if (!(v > 0.0)) return 0;
    return v >= greyLevels - 1 ? greyLevels - 1 : static_cast<int>(v);
}

// The mappings of one row of tiles, tile after tile, greyLevels entries each.
void TileRowMappings(const Image& image, const TileAxis& across, const TileAxis& down, int tileRow,
                     int greyLevels, double clipFactor, std::vector<std::int64_t>& histogram,
                     std::vector<double>& mappings)
{
    const std::size_t g = static_cast<std::size_t>(greyLevels);
    const int y0 = down.starts[static_cast<std::size_t>(tileRow)];
    const int rows = tileRow == down.count - 1 ? down.lastSize : down.size;
    for (int tx = 0; tx < across.count; ++tx) {
        const int x0 = across.starts[static_cast<std::size_t>(tx)];
        const int cols = tx == across.count - 1 ? across.lastSize : across.size;
        std::fill(histogram.begin(), histogram.end(), 0);
        for (int y = y0; y < y0 + rows; ++y) {
            const double* row = image.Row(y);
            for (int x = x0; x < x0 + cols; ++x) ++histogram[static_cast<std::size_t>(Bin(row[x], greyLevels))];
        }
        const std::int64_t pixels = static_cast<std::int64_t>(rows) * cols;
        ClipHistogram(histogram, pixels, clipFactor);
        double* map = mappings.data() + static_cast<std::size_t>(tx) * g;
        std::int64_t cumulative = 0;
        for (std::size_t b = 0; b < g; ++b) {
            cumulative += histogram[b];
            map[b] = static_cast<double>((greyLevels - 1) * cumulative / pixels);
        }
    }
}

}  // namespace

TileAxis MakeTileAxis(int length, int divisor)
{
    TileAxis axis;
    divisor = std::max(divisor, 1);
    int size = (length / divisor) / 2;
    if (size % 2 == 0) size -= 1;
    axis.size = std::max(size, 1);
    axis.count = length / axis.size;
    axis.lastSize = length - axis.size * (axis.count - 1);
    for (int i = 0; i < axis.count; ++i) {
        axis.starts.push_back(i * axis.size);
        if (i < axis.count - 1)
            axis.centres.push_back(axis.size / 2 + i * axis.size);
        else
            axis.centres.push_back(axis.lastSize % 2 ? length - (axis.lastSize + 1) / 2
                                                     : length - axis.lastSize / 2 - 1);
    }
    return axis;
}

std::int64_t ClipHistogram(std::vector<std::int64_t>& histogram, std::int64_t pixels, double clipFactor)
{
    const std::int64_t g = static_cast<std::int64_t>(histogram.size());
    const double level = static_cast<double>(pixels / g) * clipFactor;
    // No tile has 2^24 pixels in practice; the limit keeps (G - 1) * cumulative
    // inside 64 bits for any clip factor.
    constexpr double kLimit = 16777216.0;
    const std::int64_t c = !(level >= 1.0)   ? 1
                           : level > kLimit ? static_cast<std::int64_t>(kLimit)
                                            : static_cast<std::int64_t>(level);
    std::int64_t lo = 0;
    std::int64_t hi = c;
    while (hi - lo > 1) {
        const std::int64_t mid = (lo + hi) / 2;
        std::int64_t excess = 0;
        for (const std::int64_t h : histogram) excess += std::max<std::int64_t>(0, h - mid);
        if ((c - mid) * g < excess)
            hi = mid;
        else
            lo = mid;
    }
    const std::int64_t lambda = lo;
    for (std::int64_t& h : histogram) h = h < lambda ? h + (c - lambda) : c;
    return lambda;
}

void LocalEqualise(Image& image, int greyLevels, double clipFactor, int tilesAcross, int tilesDown)
{
    if (greyLevels < 2) return;
    const Range range = ScanRange(image.values.data(), image.Count());
    if (!(range.max != range.min)) return;
    greyLevels = std::min(greyLevels, kMaxGreyLevels);
    RescaleTo(image.values.data(), image.Count(), greyLevels - 1);

    const TileAxis across = MakeTileAxis(image.width, tilesAcross);
    const TileAxis down = MakeTileAxis(image.height, tilesDown);
    const std::vector<Blend> columns = Blends(across, image.width);
    const std::vector<Blend> rows = Blends(down, image.height);

    // The tiles' histograms read the rescaled image as it was before the
    // blend starts writing into it.
    const Image source = image;
    const std::size_t g = static_cast<std::size_t>(greyLevels);
    const std::size_t rowEntries = static_cast<std::size_t>(across.count) * g;
    std::vector<std::int64_t> histogram(g);
    struct Slot {
        int tileRow = -1;
        std::vector<double> mappings;
    };
    Slot slots[2];
    slots[0].mappings.resize(rowEntries);
    slots[1].mappings.resize(rowEntries);
    // The mappings of tileRow, computed into the slot that does not hold keep.
    auto fetch = [&](int tileRow, int keep) -> const double* {
        for (Slot& s : slots)
            if (s.tileRow == tileRow) return s.mappings.data();
        Slot& s = slots[0].tileRow != keep ? slots[0] : slots[1];
        TileRowMappings(source, across, down, tileRow, greyLevels, clipFactor, histogram, s.mappings);
        s.tileRow = tileRow;
        return s.mappings.data();
    };

    for (int y = 0; y < image.height; ++y) {
        const Blend& rb = rows[static_cast<std::size_t>(y)];
        const double* upper = fetch(rb.first, rb.second);
        const double* lower = fetch(rb.second, rb.first);
        double* row = image.Row(y);
        const double b = rb.weight;
        for (int x = 0; x < image.width; ++x) {
            const Blend& cb = columns[static_cast<std::size_t>(x)];
            const std::size_t bin = static_cast<std::size_t>(Bin(row[x], greyLevels));
            const std::size_t i0 = static_cast<std::size_t>(cb.first) * g + bin;
            const std::size_t i1 = static_cast<std::size_t>(cb.second) * g + bin;
            const double a = cb.weight;
            const double top = upper[i0] + a * (upper[i1] - upper[i0]);
            const double bottom = lower[i0] + a * (lower[i1] - lower[i0]);
            row[x] = top + b * (bottom - top);
        }
    }
    RescaleTo(image.values.data(), image.Count(), 1.0);
}

}  // namespace calpost
