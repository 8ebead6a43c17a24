// Markers: the marker-type text, its integer code, the pixels each marker
// covers and their statistics.
//
// Text (trimmed, upper-cased) to code: "NONE" 0, "R" 1 (row profile), "C" 2
// (column profile), "S" 3 (surround table 7 x 11); two numbers a and b joined
// by x, X or "/" give ((b | 0x8000) << 16) | (a & 0x7FFF), a negative code
// for a rectangle of (2a+1) x (2b+1) pixels, or 0 when neither is positive;
// one number n gives n, a circle of radius n, where 1..3 select the modes
// 1..3 instead. Anything else is 0. Negative numbers count as 0 (a negative
// half-size would otherwise wrap into a huge rectangle).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grayscope/view/viewer_image.h"

namespace grayscope {

// The largest rectangle half-size (15 bits) and circle radius.
inline constexpr int kMaxMarkerHalfSize = 0x7FFF;

enum class MarkerKind { None, Row, Column, Surround, Circle, Rectangle };

struct MarkerShape {
    MarkerKind kind = MarkerKind::None;
    int radius = 0;  // circle
    int a = 0;       // rectangle half-width
    int b = 0;       // rectangle half-height
};

std::int32_t EncodeMarkerText(std::string_view text);
MarkerShape DecodeMarker(std::int32_t code);

// The preset entries of the marker type combo box.
const std::vector<std::string>& MarkerPresets();

inline constexpr int kSurroundHalfWidth = 3;   // 7 columns
inline constexpr int kSurroundHalfHeight = 5;  // 11 rows

struct MarkerStatistics {
    int count = 0;  // pixels used
    double mean = 0.0;
    double deviation = 0.0;  // sqrt(sum (v - mean)^2 / n)
    int min = 0;
    int max = 0;
    int value = 0;  // at the marker
};

// Statistics of the pixels a marker covers at (x, y): row/column modes use
// the profile from `first` to `last` (first < 0 becomes 0, last beyond the
// end the last pixel, last < first becomes first); surround the in-image
// pixels of the 7 x 11 window; circle the in-image pixels with i^2 + j^2 <
// r^2; rectangle all in-image pixels of the box. count 0 when none.
MarkerStatistics ComputeMarkerStatistics(const ViewerImage& image, const MarkerShape& shape, int x, int y,
                                         int first = 0, int last = 0x7FFFFFFF);

// Share (percent) of image pixels with a value <= round(v): 0 at or below the
// image min, 100 at or above its max.
double Percentile(const ViewerImage& image, double v);

// The samples of the marker's row (Row) or column (Column).
std::vector<int> Profile(const ViewerImage& image, MarkerKind kind, int x, int y);

// The panel's title text for a marker ("Rows's chart ofs=%d pix", "R=%d (%d
// pix)", "%dx%d (%d pix)", ...).
std::string MarkerTitle(const ViewerImage& image, const MarkerShape& shape, int x, int y, int pixelsUsed);

// The panel's position header "row:%d  col:%d" for the marker at column x
// (Marker X) and row y (Marker Y): the row is y and the column x, as in the
// surround table, whose column numbers run across the top around x and whose
// row numbers run down the side around y.
std::string MarkerHeader(int x, int y);

// The statistics lines ("ave", "dev", "min", "max", "val"), with percentiles
// for circles and rectangles.
std::vector<std::string> StatisticsLines(const ViewerImage& image, const MarkerShape& shape,
                                         const MarkerStatistics& s);

}  // namespace grayscope
