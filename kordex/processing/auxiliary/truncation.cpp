// Truncation of the internal auxiliary chain: the dark a per cent and the
// light b per cent of the pixels are clipped to the levels that hold them.
//
// It is the histogram cut of the remap without the shift to zero (the
// cut's walks are this stage's: the light end is the number of bins added
// from the bottom until near(n (100 - b) / 100) pixels are reached, the dark
// end walks down from the top until near(n (100 - a) / 100)), refused when
// a + b exceeds 99 per cent. Like the cut it leaves images of fewer than 5
// levels as they are.
#include "processing/auxiliary/internal_chain.h"
#include "processing/histogram.h"

namespace kordex::auxiliary {

StageResult Truncation(const StageContext& ctx, double a, double b)
{
    if (a + b > 99.0) return kStageSkipped;
    int mn = 0, mx = 0, low = 0, high = 0;
    return HistogramCut(ctx, a, b, false, &mn, &mx, &low, &high) > 0 ? kStageDone : kStageSkipped;
}

}  // namespace kordex::auxiliary
