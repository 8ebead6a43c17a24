// Half-resolution smoothing: a quarter of the pixels are filtered, the rest
// interpolated linearly, which is why the detail mask can afford it on every
// pass. The output starts as a copy of the input, so the "keeps its value"
// rule for a last odd column or row falls out of the copy.
#include "calpost/half_resolution_smoothing.h"

#include <iterator>
#include <vector>

#include "calpost/separable_filter.h"

namespace calpost {

void HalfResolutionSmooth(const Image& in, Image& out)
{
    const int w = in.width;
    const int h = in.height;
    Image grid((w + 1) / 2, (h + 1) / 2);
    for (int gy = 0; gy < grid.height; ++gy) {
        const double* src = in.Row(2 * gy);
        double* dst = grid.Row(gy);
        for (int gx = 0; gx < grid.width; ++gx) dst[gx] = src[2 * gx];
    }
    static const std::vector<double> k5(std::begin(kK5), std::end(kK5));
    Image smooth;
    FilterRowsColumns(grid, k5, smooth);

    out = in;
    for (int gy = 0; gy < grid.height; ++gy) {
        const double* src = smooth.Row(gy);
        double* dst = out.Row(2 * gy);
        for (int gx = 0; gx < grid.width; ++gx) dst[2 * gx] = src[gx];
    }
    for (int y = 0; y < h; ++y) {
        double* row = out.Row(y);
        for (int x = 1; x + 1 < w; x += 2) row[x] = 0.5 * (row[x - 1] + row[x + 1]);
    }
    for (int y = 1; y + 1 < h; y += 2) {
        const double* above = out.Row(y - 1);
        const double* below = out.Row(y + 1);
        double* row = out.Row(y);
        for (int x = 0; x < w; ++x) row[x] = 0.5 * (above[x] + below[x]);
    }
}

}  // namespace calpost
