/*
 * calpost.h -- the public C interface of Calpost, the calibration and
 * post-processing library (libcalpost.so).
 *
 * Calpost computes on whole frames held as arrays of doubles or of 16-bit
 * pixels: a flat-field calibration, three bad-pixel-map generators and
 * PostPrc, the complete enhancement of one radiograph. The detector library
 * loads it at run time and calls PostPrc for its Calpost processing modes.
 *
 * Conventions
 * - All functions have C linkage and are looked up by name. Nothing throws.
 * - Frames are width x height values, row-major, top row first. A "double
 *   frame" holds 64-bit IEEE values, a "16-bit frame" unsigned 16-bit pixels,
 *   a "byte map" one byte per pixel (0 good, non-zero bad).
 * - Every array the library returns (Calibration, GenerateBPMAP_1,
 *   GenerateBPMAP_2, PostPrc) is a new block that belongs to the caller from
 *   then on; release it with CalpostFree (it is std::malloc memory, so free()
 *   works too). Input arrays are only read and stay the caller's.
 * - The library keeps no state between calls; calls may run on any thread,
 *   at the same time, and run single-threaded on the calling thread.
 * - Arguments are checked at the door: a null pointer, or a width or height
 *   below 1 or above 1048576, makes a function return NULL (or 0) without
 *   touching anything, and so does a result or work array that cannot be
 *   allocated.
 *
 * Arithmetic shared by the functions
 * - Range scan: the maximum of an array starting from 0.0 and its minimum
 *   starting from 65535.0 (so a maximum is never below 0 and a minimum never
 *   above 65535). NaN values are passed over.
 * - Rescale to t: v <- t * (v - min) / (max - min) with min and max from the
 *   range scan. The division comes first, so the maximum lands exactly on t
 *   and survives truncation. An array of one value (max == min) has no range:
 *   it is rescaled to all zeros instead of dividing by zero. A constant input
 *   frame therefore gives an all-zero result from Calibration and PostPrc.
 * - Filters mirror a line at its ends about the end sample (index -1 reads
 *   index 1, index n reads n - 2), repeatedly when the filter is longer than
 *   the line; a line of one sample reads that sample.
 * - Results are stored truncated toward zero.
 */
#ifndef CALPOST_H
#define CALPOST_H

#include <stdint.h>

#if defined(__GNUC__)
#define CALPOST_API __attribute__((visibility("default")))
#else
#define CALPOST_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Releases an array returned by Calibration, GenerateBPMAP_1,
 * GenerateBPMAP_2 or PostPrc. NULL is accepted and ignored. */
CALPOST_API void CalpostFree(void* block);

/* Flat-field calibration of one frame.
 *   dark, bright, raw  double frames of width x height (read only)
 * Per pixel the gain difference g = bright - dark is taken relative to its
 * mean over the frame: r = g / mean where g > 0, else 1.0. The corrected
 * value o = (raw - dark) / r (negative results become 0) is rescaled to
 * 0..65535 and truncated. Values above 32767 are ordinary unsigned 16-bit
 * values here.
 * When the mean difference is not above 0 (bright at or below dark on
 * average) there is no gain reference: every gain is 1.0.
 * Returns a new width x height 16-bit frame (release with CalpostFree), or
 * NULL on bad arguments or when memory runs out. */
CALPOST_API uint16_t* Calibration(const double* dark, const double* bright, const double* raw,
                                  int32_t width, int32_t height);

/* Bad-pixel map by thresholds on the frames' maxima.
 *   dark, bright   double frames of width x height (read only)
 *   lowFactor, highFactor  fractions of the maxima
 * A pixel is bad (1) when dark > highFactor * Dmax, bright > highFactor *
 * Bmax or bright < lowFactor * Bmax (Dmax, Bmax from the range scan), else 0.
 * Returns a new width x height byte map (release with CalpostFree), or NULL
 * on bad arguments or when memory runs out. */
CALPOST_API uint8_t* GenerateBPMAP_1(const double* dark, const double* bright, int32_t width,
                                     int32_t height, double lowFactor, double highFactor);

/* Bad-pixel map by the histogram of the difference d = bright - dark.
 *   dark, bright   double frames of width x height (read only)
 *   lowLevel, highLevel  fractions (0..1) of the smoothed histogram's peak
 * Negative differences count as 0. A histogram of 65535 unit bins over every
 * 16th difference (differences of 65535 and above count in the last bin) is
 * smoothed with five taps e^(-0.001 (i-2)^2), ends repeated, and divided by
 * its peak. L is the first bin from 1 upward whose value reaches lowLevel, U
 * the last bin from 65534 downward to 1 whose value reaches highLevel. A
 * pixel is bad (1) when d < 0.9 L or d > 1.1 U, else 0.
 * When no bin reaches lowLevel there is no lower limit (no pixel is bad for
 * being too dark); when no bin reaches highLevel there is no upper limit (no
 * pixel is bad for being too bright).
 * Returns a new width x height byte map (release with CalpostFree), or NULL
 * on bad arguments or when memory runs out. */
CALPOST_API uint8_t* GenerateBPMAP_2(const double* dark, const double* bright, int32_t width,
                                     int32_t height, double lowLevel, double highLevel);

/* Bad-pixel map by the distance of each pixel from its local median,
 * relative to the local mean absolute deviation.
 *   image       16-bit frame of width x height (read only)
 *   map         the caller's byte map of width x height, overwritten
 *   window      median window n (truncated); the n x n window of pixel
 *               (x, y) spans columns x - n/2 .. x - n/2 + n - 1 and the same
 *               rows (centred for odd n); its median is the element n*n/2 of
 *               the sorted values
 *   percentage  about this many per cent of the pixels are marked
 *   sigma       width of the Gaussian blur (4 trunc(sigma) + 5 taps)
 * Only pixels whose window lies inside the frame get a median; the border of
 * width n/2 is never marked, nor is any pixel equal to its median (so a flat
 * frame, or a window below 2 or larger than the frame, marks nothing).
 * Marked pixels get 255, all others 0.
 * Returns 1 when the map was written; 0 (map untouched) on bad arguments
 * (also sigma not above 0, above 10000 or NaN) or when memory runs out. */
CALPOST_API int32_t GenerateBPMAP(const uint16_t* image, int32_t width, int32_t height,
                                  uint8_t* map, double window, double percentage, double sigma);

/* The complete enhancement of one radiograph.
 *   image   16-bit frame of width x height, read as unsigned (read only)
 *   reserved4, reserved5, reserved6   not used
 *   medianWindow      n of the noise-relative median replacement (truncated):
 *                     3 and 5 use fixed sorting networks; any other n >= 2
 *                     uses the general median of the n x n window (as in
 *                     GenerateBPMAP), limited to the frame's smaller side;
 *                     n below 2 makes the replacement do nothing
 *   detailFactor      k of the detail mask (later masks use 5 k)
 *   replacePercent    q, the share of masked pixels replaced
 *   windowLow, windowHigh  grey window levels (fractions of the histogram
 *                     peak). When no bin reaches windowLow the window starts
 *                     at 0; when none reaches windowHigh it ends at 1.
 *   toneBreakX, toneBreakY  break point of the two-segment tone curve;
 *                     toneBreakX == 0 leaves the curve out. At toneBreakX
 *                     == 1 the upper segment is the single point (1, 1).
 *   pyramidLevels     P (truncated, 0..32); 0 only clips to 0..1. A level
 *                     one pixel wide or high is expanded without doubling
 *                     that axis, so deep pyramids keep the image's level.
 *   coefficientRange  c of the compressive coefficient curve; c not above 0
 *                     maps every coefficient to 0 (the curve's limit)
 *   coefficientExponent, coefficientKnee   e and t of that curve
 *   gain0 .. gain3    gains of pyramid levels 0, 1, 2 and 3 and above
 *   unused22 .. unused31  accepted, without effect
 *   localEqualisation non-zero runs the local (tiled) equalisation
 *   greyLevels        G (truncated) of the local equalisation; below 2 the
 *                     equalisation is left out, above 65536 it counts as
 *                     65536
 *   clipFactor        clip limit of the tile histograms: trunc((tile pixels
 *                     / G, an integer division) * clipFactor), at least 1
 *                     (a tile of fewer pixels than G maps linearly instead
 *                     of going black). An image of one value is left as it
 *                     is by the equalisation.
 *   tilesAcross, tilesDown  tile divisors (truncated, at least 1); a tile is
 *                     at least one pixel wide. Pixels outside the outermost
 *                     tile centres take the blend of the nearest tiles only
 *                     (the edge tiles' mappings, a single tile in corners).
 *   unused37 .. unused43  accepted, not read
 * The result is inverted (bright input is dark output), windowed, enhanced,
 * turned by 180 degrees relative to the input and scaled to span 0..32767.
 * Returns a new width x height 16-bit frame (release with CalpostFree), or
 * NULL on bad arguments or when memory runs out. */
CALPOST_API uint16_t* PostPrc(const uint16_t* image, int32_t width, int32_t height,
                              int32_t reserved4, void* reserved5, void* reserved6,
                              double medianWindow, double detailFactor, double replacePercent,
                              double windowLow, double windowHigh,
                              double toneBreakX, double toneBreakY,
                              double pyramidLevels, double coefficientRange,
                              double coefficientExponent, double coefficientKnee,
                              double gain0, double gain1, double gain2, double gain3,
                              double unused22, double unused23, double unused24, double unused25,
                              double unused26, double unused27, double unused28, double unused29,
                              double unused30, double unused31,
                              int32_t localEqualisation, double greyLevels, double clipFactor,
                              double tilesAcross, double tilesDown,
                              double unused37, double unused38, double unused39, double unused40,
                              double unused41, double unused42, double unused43);

#ifdef __cplusplus
}
#endif

#endif /* CALPOST_H */
