// Multi-scale contrast with a Laplacian pyramid: the band-pass levels are
// passed through a compressive coefficient curve, weighted per level and
// added back up.
#pragma once

#include <vector>

#include "calpost/image.h"

namespace calpost {

// The next coarser Gaussian level: K5 along rows and columns, then the even
// rows and columns. Its size is half of fine's, rounded up.
void Reduce(const Image& fine, Image& coarse);

// coarse placed on the even rows and columns of a width x height image
// (zeros between), convolved with K5 along both directions and multiplied by
// 4 (by 2 when width or height is 1, by 1 when both are: such an axis is not
// upsampled). width and height must round up by halves to coarse's size.
void Expand(const Image& coarse, int width, int height, Image& fine);

// The Gaussian levels 0..P (level 0 = image) and the Laplacian levels
// 0..P-1 (level j = Gaussian j - Expand(Gaussian j+1)).
struct LaplacianPyramid {
    std::vector<Image> gaussian;
    std::vector<Image> laplacian;
};
void BuildLaplacianPyramid(const Image& image, int levels, LaplacianPyramid& pyramid);

// The compressive curve C of the coefficients, as a 1000-entry table over
// -c..c: C = sign(A) c (|A|/c)^e where |A| >= t, else A (c/t) (t/c)^e.
class CoefficientCurve {
public:
    CoefficientCurve(double c, double e, double t);
    // C of the table entry trunc((c + x) 499.5 / c), limited to 0..999. A
    // curve with c not above 0 has no range and maps every x to 0.
    double operator()(double x) const;

private:
    double c_;
    bool flat_;
    std::vector<double> table_;
};

// The most pyramid levels taken; more would only stack 1 x 1 levels.
inline constexpr int kMaxPyramidLevels = 32;

// The whole step: levels P (limited to 0..32), the curve (c, e, t) and the
// gains of levels 0, 1, 2 and 3+. Each Laplacian coefficient x becomes
// gain_j C(x); the image is rebuilt from the coarsest Gaussian level and
// clipped to 0..1. P = 0 only clips.
void MultiScaleContrast(Image& image, int levels, double c, double e, double t, const double gains[4]);

}  // namespace calpost
