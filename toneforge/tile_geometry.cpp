// Tile geometry of the local contrast stage and its blend tables.
//
// Tiles are odd-sized (tw = (w / trunc(m_CLCX)) / 2, less 1 when even; th
// likewise); the last tile column and row take the rest of the image. The
// blend works between tile centres: a regular block is one tile wide, the
// last block spans the distance between the last two centres. Instead of a
// table per block size, the fraction toward the right (lower) tile is kept
// per image column (row) -- the same offset / block-width values, looked up
// without knowing the block. Outside the first and last centre the two tiles
// of a column (row) coincide and the fraction is 0.
//
// The geometry is not valid (the stage leaves the image as it is) when a
// divisor is below 1, a tile side comes out below 1, or the grid would hold
// more than kMaxTiles tiles (tiles of a few pixels, whose maps alone would
// take tens of megabytes).
#include "conversions.h"
#include "stages.h"

namespace toneforge {

namespace {

int OddHalf(int size)
{
    const int half = size / 2;
    return half % 2 == 0 ? half - 1 : half;
}

// Sizes and centres of the tiles along one axis of `length` pixels.
void TileAxis(int length, int tile, int count, std::vector<int>& sizes, std::vector<int>& centres)
{
    sizes.assign(count, tile);
    centres.assign(count, 0);
    const int last = length - (count - 1) * tile;
    sizes[count - 1] = last;
    for (int k = 0; k < count - 1; ++k)
        centres[k] = tile / 2 + k * tile;
    centres[count - 1] = last % 2 == 0 ? length - last / 2 - 1 : length - (last + 1) / 2;
}

// The blend table along one axis: the tiles before and after each position
// and the fraction toward the one after.
void BlendAxis(int length, const std::vector<int>& centres, std::vector<int>& before, std::vector<int>& after,
               std::vector<double>& fraction)
{
    const int count = static_cast<int>(centres.size());
    before.assign(length, 0);
    after.assign(length, 0);
    fraction.assign(length, 0.0);
    int k = 0;
    for (int i = 0; i < length; ++i) {
        if (i < centres[0]) {
            before[i] = after[i] = 0;
        } else if (i >= centres[count - 1]) {
            before[i] = after[i] = count - 1;
        } else {
            while (i >= centres[k + 1])
                ++k;
            before[i] = k;
            after[i] = k + 1;
            fraction[i] = static_cast<double>(i - centres[k]) / (centres[k + 1] - centres[k]);
        }
    }
}

}  // namespace

TileGeometry BuildTileGeometry(int width, int height, double clcx, double clcy)
{
    TileGeometry g;
    const int dx = TruncSize(clcx);
    const int dy = TruncSize(clcy);
    if (width < 1 || height < 1 || dx < 1 || dy < 1)
        return g;
    g.tw = OddHalf(width / dx);
    g.th = OddHalf(height / dy);
    if (g.tw < 1 || g.th < 1)
        return g;
    g.nx = width / g.tw;
    g.ny = height / g.th;
    if (static_cast<long long>(g.nx) * g.ny > kMaxTiles)
        return g;
    TileAxis(width, g.tw, g.nx, g.widths, g.centreX);
    TileAxis(height, g.th, g.ny, g.heights, g.centreY);
    BlendAxis(width, g.centreX, g.leftTile, g.rightTile, g.fx);
    BlendAxis(height, g.centreY, g.upperTile, g.lowerTile, g.fy);
    g.valid = true;
    return g;
}

}  // namespace toneforge
