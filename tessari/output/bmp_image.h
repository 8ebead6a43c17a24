// The 8-bit grey bitmap "image.bmp" made from the processed image.
//
// Grey mapping: the lowest and highest value of the image span 0..255,
// level = integer part of 255 * (v - lowest) / (highest - lowest) + 0.49999,
// clamped; a constant image becomes 128 throughout. Crop margins then cut the
// image (a negative margin widens it on that side with grey 127). The file is
// a Windows bitmap of 8 bits per pixel with a 256-entry grey palette, rows
// bottom-up and padded to four bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessari {

struct CropMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Any() const { return left != 0 || top != 0 || right != 0 || bottom != 0; }
};

// An 8-bit image, rows top-down without padding.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

struct Gamut {
    int lowest = 0;
    int highest = 0;
};

// Lowest and highest value of width x height pixels (0, 0 for none).
Gamut FindGamut(const std::int16_t* image, int width, int height);

// The grey mapping of the whole image.
GreyImage MapToGrey(const std::int16_t* image, int width, int height, Gamut gamut);

// The cropped image: (width - left - right) x (height - top - bottom), filled
// with 127, receiving the part of image inside the margins. A crop that
// leaves no pixel returns the image unchanged and *skipped = true.
GreyImage Crop(const GreyImage& image, CropMargins margins, bool* skipped);

// The bytes of the bitmap file.
std::vector<std::uint8_t> EncodeBmp(const GreyImage& image);

// The log lines of the writer: "(org gamut %d..%d, BMP gamut %d..%d" and
// "Crop %dx%d l:%d,t:%d,r:%d,b:%d".
std::string GamutLogLine(Gamut gamut);
std::string CropLogLine(int width, int height, CropMargins margins);

}  // namespace tessari
