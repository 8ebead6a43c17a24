// The grey map: 16-bit samples to 8-bit display levels.
//
// With black point B and white point W and top level c (253 while the
// bad-pixel mask editor exists, so that 254 and 255 stay free for the mask
// colours, else 255):
//  - B = W: every pixel gets |W| * 255 / 4095 (integer division), at most 253;
//  - otherwise f = c / (W - B) in single precision and level = f * (p - B)
//    (single precision) truncated toward zero, clamped to 0..c. W below B
//    gives a negative image.
// The 8-bit rows are stored bottom-up (the first image row is the last bitmap
// row), each padded to a multiple of 4 bytes, as a device-independent bitmap
// expects.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "grayscope/view/viewer_image.h"

namespace grayscope {

inline constexpr int kTopLevelPlain = 255;
inline constexpr int kTopLevelWithMask = 253;
inline constexpr std::uint8_t kLevelAutoMask = 254;    // purple RGB(128,0,128)
inline constexpr std::uint8_t kLevelManualMask = 255;  // magenta RGB(255,0,255)

// Bytes of one padded 8-bit bitmap row.
inline int PaddedRowBytes(int width) { return (width + 3) & ~3; }

// The level of one sample (the rule above, for tests and single pixels).
int GreyLevel(int sample, int black, int white, int topLevel);

// Maps the whole image into out (resized to PaddedRowBytes(width) * height;
// padding bytes are 0), rows bottom-up. No allocation when out already has
// the size.
void MapGrey(const ViewerImage& image, int black, int white, int topLevel, std::vector<std::uint8_t>* out);

// The same for the rows firstRow..lastRow (image rows, inclusive) into an
// already sized buffer; bands of rows may run on separate threads.
void MapGreyRows(const ViewerImage& image, int black, int white, int topLevel, int firstRow, int lastRow,
                 std::uint8_t* out);

// Palette as 0x00RRGGBB: grey ramp; with the mask editor present entry 254 is
// purple and 255 magenta.
std::array<std::uint32_t, 256> GreyPalette(bool maskColours);

// Paints the mask over a bottom-up 8-bit buffer of the image: a pixel whose
// mask byte has the manual bit (2) gets level 255, else one with the
// automatic bit (1) gets 254. mask is width * height bytes, top row first.
void PaintMask(const std::uint8_t* mask, int width, int height, std::uint8_t* levels);

}  // namespace grayscope
