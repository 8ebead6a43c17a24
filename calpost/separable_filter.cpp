// Separable filtering. Each row is copied once into a buffer padded with its
// mirror on both sides, so the inner loop runs over plain memory without
// border tests; the column pass sums whole rows, up to five taps in one
// fused loop, which the compiler vectorises. The scratch row and the intermediate image are
// allocated before the passes.
#include "calpost/separable_filter.h"

#include <cstddef>

#include "calpost/mirror.h"

namespace calpost {

void WeightedRowSum(double* dst, const double* const* rows, const double* weights, int count, int width)
{
    const double* const* r = rows;
    const double* w = weights;
    switch (count) {
    case 1:
        for (int x = 0; x < width; ++x) dst[x] = w[0] * r[0][x];
        return;
    case 2:
        for (int x = 0; x < width; ++x) dst[x] = w[0] * r[0][x] + w[1] * r[1][x];
        return;
    case 3:
        for (int x = 0; x < width; ++x) dst[x] = w[0] * r[0][x] + w[1] * r[1][x] + w[2] * r[2][x];
        return;
    case 4:
        for (int x = 0; x < width; ++x)
            dst[x] = w[0] * r[0][x] + w[1] * r[1][x] + w[2] * r[2][x] + w[3] * r[3][x];
        return;
    default:
        break;
    }
    const double* r0 = r[0];
    const double* r1 = r[1];
    const double* r2 = r[2];
    const double* r3 = r[3];
    const double* r4 = r[4];
    for (int x = 0; x < width; ++x)
        dst[x] = w[0] * r0[x] + w[1] * r1[x] + w[2] * r2[x] + w[3] * r3[x] + w[4] * r4[x];
    // Longer kernels: the further rows are added one by one.
    for (int k = 5; k < count; ++k) {
        const double t = w[k];
        const double* src = r[k];
        for (int x = 0; x < width; ++x) dst[x] += t * src[x];
    }
}

void FilterRowsColumns(const Image& in, const std::vector<double>& taps, Image& out)
{
    const int w = in.width;
    const int h = in.height;
    const int count = static_cast<int>(taps.size());
    const int r = count / 2;
    Image rows(w, h);
    std::vector<double> padded(static_cast<std::size_t>(w) + 2 * static_cast<std::size_t>(r));

    for (int y = 0; y < h; ++y) {
        const double* src = in.Row(y);
        for (int x = -r; x < w + r; ++x) padded[static_cast<std::size_t>(x + r)] = src[Reflect(x, w)];
        double* dst = rows.Row(y);
        for (int x = 0; x < w; ++x) dst[x] = 0.0;
        for (int k = 0; k < count; ++k) {
            const double t = taps[static_cast<std::size_t>(k)];
            const double* p = padded.data() + k;
            for (int x = 0; x < w; ++x) dst[x] += t * p[x];
        }
    }

    out = Image(w, h);
    std::vector<const double*> sources(static_cast<std::size_t>(count));
    for (int y = 0; y < h; ++y) {
        for (int k = 0; k < count; ++k) sources[static_cast<std::size_t>(k)] = rows.Row(Reflect(y + k - r, h));
        WeightedRowSum(out.Row(y), sources.data(), taps.data(), count, w);
    }
}

}  // namespace calpost
