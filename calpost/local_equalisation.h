// Local (tiled) histogram equalisation with a clip limit, blended between
// tile centres.
#pragma once

#include <cstdint>
#include <vector>

#include "calpost/image.h"

namespace calpost {

// The tiles along one axis of length pixels with divisor d (at least 1): the
// tile size is (length / d) / 2, one less when even, at least 1; count =
// length / size tiles, all of that size but the last, which takes the rest.
struct TileAxis {
    int size = 1;
    int count = 1;
    int lastSize = 1;
    std::vector<int> starts;   // first pixel of each tile
    std::vector<int> centres;  // centre pixel of each tile
};
TileAxis MakeTileAxis(int length, int divisor);

// Clips a tile histogram at c = trunc((pixels / G) clipFactor) (integer
// division; c limited to 1..2^24): lambda is found by bisection on 0..c, then every bin below
// lambda is raised by c - lambda and every other bin set to c. Returns
// lambda.
std::int64_t ClipHistogram(std::vector<std::int64_t>& histogram, std::int64_t pixels, double clipFactor);

// The most grey levels taken.
inline constexpr int kMaxGreyLevels = 65536;

// The whole step on image: rescaled to G - 1, equalised per tile with the
// blend of the four surrounding tiles' mappings, rescaled to 1. G below 2,
// or an image of one value, leaves the image as it is; G above 65536 counts
// as 65536.
void LocalEqualise(Image& image, int greyLevels, double clipFactor, int tilesAcross, int tilesDown);

}  // namespace calpost
