// The PostPrc pipeline: invert and window, tone curve, three passes of
// impulse removal (cross median, then two noise-relative replacements, each
// after a fresh detail mask), multi-scale contrast, optional local
// equalisation, and the final scaling. The vertical flip at the start and
// the horizontal one at the end turn the result by 180 degrees; the
// detector library turns it back.
//
// Real-valued arguments used as integers are truncated and limited to the
// ranges the steps accept (see calpost.h), so no parameter can make a step
// divide by zero or size an array from a wrapped integer.
#include "calpost/post_prc.h"

#include <algorithm>
#include <cstddef>

#include "calpost/cross_median.h"
#include "calpost/detail_mask.h"
#include "calpost/grey_window.h"
#include "calpost/laplacian_pyramid.h"
#include "calpost/local_equalisation.h"
#include "calpost/noise_replacement.h"
#include "calpost/range_scan.h"
#include "calpost/tone_curve.h"
#include "calpost/truncate.h"

namespace calpost {
namespace {

constexpr int kIntLimit = 1 << 30;

}  // namespace

void LoadFlipped(const std::uint16_t* input, int width, int height, Image& image)
{
    image = Image(width, height);
    for (int y = 0; y < height; ++y) {
        const std::uint16_t* src = input + static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width);
        double* dst = image.Row(y);
        for (int x = 0; x < width; ++x) dst[x] = src[x];
    }
}

void FinishInto(Image& image, std::uint16_t* out)
{
    double* v = image.values.data();
    const std::size_t count = image.Count();
    const double max = ScanRange(v, count).max;
    if (max > 0.0) {
        const double scale = 255.0 / max;
        for (std::size_t i = 0; i < count; ++i) v[i] *= scale;
    }
    for (int y = 0; y < image.height; ++y) std::reverse(image.Row(y), image.Row(y) + image.width);
    RescaleTo(v, count, 32767.0);
    for (std::size_t i = 0; i < count; ++i) out[i] = Store16(v[i]);
}

void RunPostPrc(const std::uint16_t* input, int width, int height, const PostPrcParams& p, std::uint16_t* out)
{
    Image image;
    LoadFlipped(input, width, height, image);
    InvertAndWindow(image, p.windowLow, p.windowHigh);
    ApplyToneCurve(image, p.toneBreakX, p.toneBreakY);

    const int n = TruncateToInt(p.medianWindow, 0, kIntLimit);
    DetailMask detail;
    MakeDetailMask(image, p.detailFactor, detail);
    CrossMedian(image, detail.mask);
    MakeDetailMask(image, 5.0 * p.detailFactor, detail);
    NoiseRelativeReplace(image, detail, n, p.replacePercent);
    MakeDetailMask(image, 5.0 * p.detailFactor, detail);
    NoiseRelativeReplace(image, detail, n, p.replacePercent);

    MultiScaleContrast(image, TruncateToInt(p.pyramidLevels, 0, kMaxPyramidLevels), p.coefficientRange,
                       p.coefficientExponent, p.coefficientKnee, p.gains);
    if (p.localEqualisation != 0)
        LocalEqualise(image, TruncateToInt(p.greyLevels, 0, kMaxGreyLevels), p.clipFactor,
                      TruncateToInt(p.tilesAcross, 1, kIntLimit), TruncateToInt(p.tilesDown, 1, kIntLimit));
    FinishInto(image, out);
}

}  // namespace calpost
