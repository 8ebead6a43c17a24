// Black and white points found by truncating the histogram in steps of 0.1 %.
#pragma once

#include "grayscope/view/viewer_image.h"

namespace grayscope {

enum class Side { Black, White };

// The point of one side for a truncation edit value in tenths of a percent
// (5 = 0.5 %). A negative value uses its absolute value from the other end of
// the histogram (a negative black truncation counts from the top). Without an
// image (null or empty) the black side gives 0 and the white side 4095.
// n = pixel count x fraction, truncated; n <= 0 gives min (black) or max
// (white); otherwise counters are added from that side's end until the sum
// reaches n and the value of the last counter added is the result.
int TruncatedPoint(const ViewerImage* image, int tenthsPercent, Side side);

}  // namespace grayscope
