// The enhancement stages of ImgProc_IntraOral as plain functions, one file
// each, so that the pipeline reads as a list of stages and the tests reach
// every stage on its own. Internal to libtoneforge.so (hidden symbols).
//
// Images are width x height doubles, row by row, owned by the caller and
// changed in place unless a function says otherwise. `threads` splits a
// stage's pixel passes into that many row bands (row_bands.h); the result is
// bit-identical for every thread count. Every function accepts
// any parameter value; what happens for values a stage cannot use is written
// at each function (and summarised in toneforge.h).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "toneforge.h"

namespace toneforge {

// ---- parameters ------------------------------------------------------------

inline constexpr int kParamCount = 27;

// The settings key of each parameter, in record (= reading) order.
struct ParamKey {
    const char* key;
    double _tagIMG_PARAM_IntraOral::*field;
};
extern const std::array<ParamKey, kParamCount> kParamKeys;

// Reads every key of kParamKeys from `section` of `file` into `param`, with
// the default "-1000", converted with strtod (text that is no number gives 0).
void ReadParameters(const char* file, const char* section, _tagIMG_PARAM_IntraOral& param);

// ---- cut corners -----------------------------------------------------------

// Marks (mask 1) the two lower corners cut along 45-degree lines with
// c = cutRow: column x is cut from row x + c down (left corner) and from row
// c + width - 1 - x down (right corner). Then fills every marked pixel of
// `image` from the last uncut row of its column: the k-th cut pixel below that
// row takes the pixel of that row k + 1 columns further toward the centre.
// A source outside the image or itself marked is replaced by the nearest
// unmarked pixel of that row walking back toward the column; a column without
// an uncut row is filled with 0. `mask` must hold width x height bytes.
void MarkAndFillCutCorners(std::uint16_t* image, std::uint8_t* mask, int width, int height, int cutRow);

// ---- tone stages -----------------------------------------------------------

struct MinMax {
    double min;
    double max;
};

// Extremes of the image, searched from max = 0 and min = 65535 (so an image
// wholly above 65535 or below 0 keeps one of those starting values).
MinMax MaxMinHKL(const double* image, int width, int height, int threads = 1);

// v -> (v - min) * top / (max - min) with the extremes of MaxMinHKL; every
// value becomes 0 when max <= min.
void ScalingHKL(double* image, int width, int height, double top, int threads = 1);

// The 4096-entry auto-level table of `image` (already scaled to [0, 1]):
// histogram of every 16th value, low index l from `low`, high index u from
// `high`, entries b below l, 1.0 above u, linear between (b at l when u = l).
std::vector<double> AutoLevelTable(const double* image, int width, int height, double low, double high, double base);

// Scales to [0, 1] with ScalingHKL, then maps every value through
// AutoLevelTable (entry 0 is always 0).
void AutoLevel_20070201(double* image, int width, int height, double low, double high, double base,
                        int threads = 1);

// Auto-level (m_ERCL, m_ERCH, base 0), v -> v^m_ERGA, then v -> M - v with M
// the largest value (from 0): dense tissue becomes bright.
void ParaExpoReco_20070201(double* image, int width, int height, const _tagIMG_PARAM_IntraOral& p, int threads = 1);

// Moroney tone correction: mask = Gaussian blur of size trunc(m_MFGBsig) of
// the image; t = mask / m_m_split - 1; v -> v^(base^t) with base m_M_expoHi
// where t >= 0, else m_M_expoLo.
void Moroney(double* image, int width, int height, const _tagIMG_PARAM_IntraOral& p, int threads = 1);

// The final stage's gamma: exp(3.98200135388046 * m) * 0.09138 + finalGamma,
// m the mean of the sampled values (columns 0, 16, 32, ... of every row)
// above 1.1 * m_ALS1, or 0 when none is above.
double FinalGamma(const double* image, int width, int height, const _tagIMG_PARAM_IntraOral& p);

// The raw two-branch sigmoid (4096 entries): steepness cL up to entry 1841,
// cH from entry 2252, a straight piece between.
std::vector<double> SigmoidTable(double cL, double cH);

// The 4096-entry output table: the sigmoid normalised to m_Test_S1 ... 0.9
// (all m_Test_S1 when its ends coincide), times 4095, truncated, limited to
// 0 ... 4095.
std::vector<std::uint16_t> OutputTable(const _tagIMG_PARAM_IntraOral& p);

// Final auto-level (m_ALCL, m_ALCH, base 0), mean-driven gamma and sigmoid,
// written to `output` (width x height).
void AdjustBrightContrastGammaSigmoid(double* image, int width, int height, const _tagIMG_PARAM_IntraOral& p,
                                      std::uint16_t* output, int threads = 1);

// ---- spatial stages --------------------------------------------------------

// The normalised Gaussian kernel of size s: sigma = s / 2 (integer), 2 sigma
// + 1 taps. Empty when sigma < 1.
std::vector<double> GaussianKernel(int size);

// Separable Gaussian blur of size s (edges repeat), then the two in-place
// neighbour-averaging passes (along rows, then along columns). Leaves the
// image as it is when sigma < 1 or sigma > max(width, height).
void FastGaussianBlurring(double* image, int width, int height, int size, int threads = 1);

// Sigma filter: window size m (r = m / 2), sampling step k, sigma. Each pixel
// becomes the mean of its window samples strictly within +-2 sigma of it, or
// keeps its value when none qualifies. Leaves the image as it is when m < 1,
// m > kMaxSigmaWindow or k < 1.
inline constexpr int kMaxSigmaWindow = 255;
void FastSigmaFilter(double* image, int width, int height, int m, double sigma, int k, int threads = 1);

// Every value exactly 0 becomes the mean of the negative values of the 11 x 11
// window centred on it (inside the image), or -0.0005 when there are none.
void ChangeHighIMG(double* image, int width, int height, int threads = 1);

// The 512-entry level-weight table: C = m_AUMWL below trunc(m_AUMTH * 511) + 1,
// then rising linearly toward B = m_AUMWH at entry 511.
std::array<double, 512> LevelWeightTable(const _tagIMG_PARAM_IntraOral& p);

// Adaptive unsharp mask of kernel size `kernelSize` with the level-weight
// table: detail from the sigma filter, weighted by the smoothed level, then
// the image is mapped to [0, 1] by the extremes of its interior (the border
// band of width kernelSize / 2 excluded, then limited to [0, 1]).
void FAUMHKL_2(double* image, int width, int height, int kernelSize, const double* levelWeights,
               const _tagIMG_PARAM_IntraOral& p, int threads = 1);

// Tile geometry of the local contrast stage and the blend tables built from
// it (one entry per image column and row).
struct TileGeometry {
    bool valid = false;       // false: the stage leaves the image as it is
    int nx = 0, ny = 0;       // tile columns and rows
    int tw = 0, th = 0;       // regular tile width and height (odd)
    std::vector<int> widths, heights;     // per tile column / row
    std::vector<int> centreX, centreY;    // per tile column / row
    // Per image column: the tile columns to the left and right of it and the
    // fraction toward the right one; left == right (fraction 0) in the bands
    // outside the first and last centre. Likewise per image row.
    std::vector<int> leftTile, rightTile, upperTile, lowerTile;
    std::vector<double> fx, fy;
};

inline constexpr int kMaxTiles = 4096;

// Builds the geometry for a width x height image with the divisors
// trunc(m_CLCX) and trunc(m_CLCY).
TileGeometry BuildTileGeometry(int width, int height, double clcx, double clcy);

// The clip level P of a 1024-bin histogram for clip limit lc (bisection).
std::int64_t ClipLevel(const std::int64_t* bins, std::int64_t lc);

// One tile's map: clip the histogram at limit trunc(area / 1024 * clsl)
// (limited to 1 ... 2 area + 2), redistribute, accumulate,
// map(k) = trunc(cumulative(k) / area * 1023). `bins` is changed.
void TileMap(std::int64_t* bins, int area, double clsl, std::int32_t* map);

// Contrast-limited local equalisation with bilinear blending between tiles;
// the result is scaled to [0, 1]. Leaves the image as it is when the geometry
// is not valid.
void ParaLocalContrastEnhance(double* image, int width, int height, const TileGeometry& geometry, double clsl,
                              int threads = 1);

}  // namespace toneforge
