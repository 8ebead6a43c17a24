// The automatic bad-pixel map "BPM.raw", generated from stored dark and
// bright frames of the calibration set.
//
// Each frame is compared with a reference of its own, m = TrimmedMode of its
// inner region:
// - dark frames, NumSegs < 1: the global test, code 127 outside
//   m - DarkDevLo .. m + DarkDevHi;
// - dark frames, NumSegs >= 1: the segment test, code 128 (segment_test in
//   the .cpp);
// - bright frames, Radius < 1: the global test with the relative range
//   trunc(m * (1 - BrightRDevLo)) .. trunc(m * (BrightRDevHi + 1));
// - bright frames, Radius >= 1: the local test, code 255 where the pixel
//   differs from its LocalMean by more than trunc(m * BrightRDevLo) below or
//   trunc(m * BrightRDevHi) above.
// The relative factors are 32-bit floats, and so are those products.
// Every test looks at the whole frame but marks only pixels whose code is
// still 0 (outline pixels hold 1), so marks accumulate over the frames and
// the first test to flag a pixel sets its code; only new marks are counted.
//
// The segment width is W / NumSegs but at least 1, so a NumSegs above the
// frame width cannot divide by zero or loop without end.
//
// The generation builds an outline mask of its own rather than using the
// library's slot, so it can never disturb a calibration job that runs at
// the same time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "calibration/calibration_set_context.h"
#include "frame/settings.h"

namespace kordex {

inline constexpr const char* kAutoMapLogTag = "BPM";
inline constexpr std::int16_t kCodeGlobal = 127;
inline constexpr std::int16_t kCodeSegment = 128;
inline constexpr std::int16_t kCodeLocal = 255;

// A file mask of [Settings] (MaskAutoBPMDark, MaskAutoBPMBright) as a path: a
// mask that begins with "/" or "~" is a full path ("~" expanded), any other
// lies in calibrationDir; a mask without "." gets ".raw" appended. So the
// defaults "dark" and "A??_?????" select "dark.raw" and the gain points.
std::string AutoMapMaskPath(std::string_view mask, const std::string& calibrationDir);

// Generates the map from the frames matching darkMask and brightMask (full
// paths with a wildcard file name, as AutoMapMaskPath gives; null or "" =
// none), in directory order, and writes it to outputPath -- or, when no pixel
// was marked, deletes outputPath. The log lines are plain lines of the log,
// which is opened with the tag "BPM" for the duration unless it is open.
// Unreadable frames are skipped without a message.
// Returns 1 when at least one frame was examined (and a map that was to be
// written was written), else 0; the caller then shows "Can't generate
// Automatic Bad Pixels Map".
int GenerateAutoBadPixelMap(const CalibrationSetContext& ctx, const BadPixMapSettings& params, const char* darkMask,
                            const char* brightMask, const std::string& outputPath);

// The three tests on one frame, for the generation and for tests. Each marks
// only pixels whose map code is 0 and returns the number of new marks.
// frame and map are ctx.width x ctx.height.
int GlobalBadPixelTest(const CalibrationSetContext& ctx, const std::int16_t* frame, std::int16_t* map, int lo, int hi);
// Segment width sw >= 1; devLo, devHi: DarkDevLo, DarkDevHi.
int SegmentBadPixelTest(const CalibrationSetContext& ctx, const std::int16_t* frame, std::int16_t* map, int sw,
                        int devLo, int devHi);
// outlineMask may be null (no outline).
int LocalBadPixelTest(const CalibrationSetContext& ctx, const std::int16_t* frame, std::int16_t* map,
                      const std::int16_t* outlineMask, int radius, int lo, int hi);

}  // namespace kordex
