// Medians of small windows: fixed sorting networks for 9 and 25 values, and
// a general selection for any other count.
#pragma once

namespace calpost {

// The median of v[0..9); v is reordered.
double Median9(double* v);

// The median of v[0..25); v is reordered.
double Median25(double* v);

// The element count/2 of the sorted v[0..count) (for an even count the upper
// of the two middle values); v is reordered. count must be at least 1.
double MedianOf(double* v, int count);

}  // namespace calpost
