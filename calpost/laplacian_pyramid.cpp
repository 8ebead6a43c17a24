// Laplacian pyramid.
//
// Reduce computes only the samples it keeps: the row pass only even columns,
// the column pass only even rows. Expand never builds the zero-filled image:
// on an even position of the upsampled line the taps 0.05, 0.4, 0.05 meet
// the coarse samples and on an odd one the taps 0.25, 0.25 do, because the
// mirror about the end samples keeps every index's parity (zeros stay zeros).
// Border samples take the general mirrored path; the inner ones the direct
// formulas, which the compiler vectorises.
//
// A line of one sample has no odd positions: mirroring sends all five taps
// to its only sample, so the expansion would double that axis (a 1-pixel
// row or column level, reached by deep pyramids, would come back twice as
// bright). Along an axis of length 1 the factor 2 of that axis is left out,
// so expanding keeps a constant constant at every size.
#include "calpost/laplacian_pyramid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "calpost/mirror.h"
#include "calpost/separable_filter.h"

namespace calpost {
namespace {

// One reduced sample of a line: K5 around index 2g.
inline double ReduceAt(const double* line, int n, int g)
{
    double acc = 0.0;
    for (int k = 0; k < 5; ++k) acc += kK5[k] * line[Reflect(2 * g + k - 2, n)];
    return acc;
}

// One expanded sample of a line of n samples whose even indices hold coarse.
inline double ExpandAt(const double* coarse, int n, int x)
{
    double acc = 0.0;
    for (int k = 0; k < 5; ++k) {
        const int i = Reflect(x + k - 2, n);
        if ((i & 1) == 0) acc += kK5[k] * coarse[i / 2];
    }
    return acc;
}

void ExpandLine(const double* coarse, int n, double* out)
{
    const int innerEnd = n - 2;  // x + 2 <= n - 1
    for (int x = 0; x < std::min(2, n); ++x) out[x] = ExpandAt(coarse, n, x);
    for (int x = 2; x < innerEnd; ++x) {
        const int g = x >> 1;
        out[x] = (x & 1) ? 0.25 * (coarse[g] + coarse[g + 1])
                         : 0.05 * coarse[g - 1] + 0.4 * coarse[g] + 0.05 * coarse[g + 1];
    }
    for (int x = std::max(2, innerEnd); x < n; ++x) out[x] = ExpandAt(coarse, n, x);
}

}  // namespace

void Reduce(const Image& fine, Image& coarse)
{
    const int w = fine.width;
    const int h = fine.height;
    const int cw = (w + 1) / 2;
    const int ch = (h + 1) / 2;
    Image rows(cw, h);
    for (int y = 0; y < h; ++y) {
        const double* src = fine.Row(y);
        double* dst = rows.Row(y);
        int g = 0;
        for (; g < cw && 2 * g - 2 < 0; ++g) dst[g] = ReduceAt(src, w, g);
        for (; g < cw && 2 * g + 2 <= w - 1; ++g) {
            const double* s = src + 2 * g - 2;
            dst[g] = kK5[0] * s[0] + kK5[1] * s[1] + kK5[2] * s[2] + kK5[3] * s[3] + kK5[4] * s[4];
        }
        for (; g < cw; ++g) dst[g] = ReduceAt(src, w, g);
    }
    coarse = Image(cw, ch);
    const double* sources[5];
    for (int gy = 0; gy < ch; ++gy) {
        for (int k = 0; k < 5; ++k) sources[k] = rows.Row(Reflect(2 * gy + k - 2, h));
        WeightedRowSum(coarse.Row(gy), sources, kK5, 5, cw);
    }
}

void Expand(const Image& coarse, int width, int height, Image& fine)
{
    Image rows(width, coarse.height);
    for (int gy = 0; gy < coarse.height; ++gy) ExpandLine(coarse.Row(gy), width, rows.Row(gy));
    const double factor = (width == 1 ? 1.0 : 2.0) * (height == 1 ? 1.0 : 2.0);

    fine = Image(width, height);
    const double* sources[5];
    double weights[5];
    for (int y = 0; y < height; ++y) {
        int count = 0;
        for (int k = 0; k < 5; ++k) {
            const int i = Reflect(y + k - 2, height);
            if (i & 1) continue;
            sources[count] = rows.Row(i / 2);
            weights[count] = factor * kK5[k];
            ++count;
        }
        WeightedRowSum(fine.Row(y), sources, weights, count, width);
    }
}

void BuildLaplacianPyramid(const Image& image, int levels, LaplacianPyramid& pyramid)
{
    pyramid.gaussian.assign(static_cast<std::size_t>(levels) + 1, Image());
    pyramid.laplacian.assign(static_cast<std::size_t>(levels), Image());
    pyramid.gaussian[0] = image;
    for (int j = 0; j < levels; ++j)
        Reduce(pyramid.gaussian[static_cast<std::size_t>(j)], pyramid.gaussian[static_cast<std::size_t>(j) + 1]);
    for (int j = 0; j < levels; ++j) {
        const Image& g = pyramid.gaussian[static_cast<std::size_t>(j)];
        Image& l = pyramid.laplacian[static_cast<std::size_t>(j)];
        Expand(pyramid.gaussian[static_cast<std::size_t>(j) + 1], g.width, g.height, l);
        for (std::size_t i = 0; i < l.Count(); ++i) l.values[i] = g.values[i] - l.values[i];
    }
}

CoefficientCurve::CoefficientCurve(double c, double e, double t) : c_(c), flat_(!(c > 0.0)), table_(1000, 0.0)
{
    if (flat_) return;
    for (int i = 0; i < 1000; ++i) {
        const double a = i * (2.0 * c / 999.0) - c;
        const double magnitude = std::fabs(a);
        double value;
        if (magnitude >= t) {
            const double sign = a > 0.0 ? 1.0 : (a < 0.0 ? -1.0 : 0.0);
            value = sign * c * std::pow(magnitude / c, e);
        } else {
            value = a * (c / t) * std::pow(t / c, e);
        }
        table_[static_cast<std::size_t>(i)] = value;
    }
}

double CoefficientCurve::operator()(double x) const
{
    if (flat_) return 0.0;
    const double u = (c_ + x) * 499.5 / c_;
    const int index = !(u > 0.0) ? 0 : (u >= 999.0 ? 999 : static_cast<int>(u));
    return table_[static_cast<std::size_t>(index)];
}

void MultiScaleContrast(Image& image, int levels, double c, double e, double t, const double gains[4])
{
    levels = std::clamp(levels, 0, kMaxPyramidLevels);
    if (levels > 0) {
        LaplacianPyramid pyramid;
        BuildLaplacianPyramid(image, levels, pyramid);
        const CoefficientCurve curve(c, e, t);
        for (int j = 0; j < levels; ++j) {
            const double gain = gains[std::min(j, 3)];
            for (double& x : pyramid.laplacian[static_cast<std::size_t>(j)].values) x = gain * curve(x);
        }
        Image rebuilt = std::move(pyramid.gaussian[static_cast<std::size_t>(levels)]);
        Image expanded;
        for (int j = levels - 1; j >= 0; --j) {
            const Image& l = pyramid.laplacian[static_cast<std::size_t>(j)];
            Expand(rebuilt, l.width, l.height, expanded);
            for (std::size_t i = 0; i < l.Count(); ++i) expanded.values[i] += l.values[i];
            std::swap(rebuilt, expanded);
        }
        image = std::move(rebuilt);
    }
    for (double& v : image.values) v = v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

}  // namespace calpost
