// The mapping is a real division, rounded with near(); the row passes are
// plain loops over one row at a time.
#include "output/bmp_image.h"

#include <algorithm>
#include <cstring>

#include "platform/exact_math.h"
#include "platform/text.h"

namespace tessari {

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr int kPaletteBytes = 256 * 4;
constexpr int kPixelOffset = kFileHeaderBytes + kInfoHeaderBytes + kPaletteBytes;  // 1078
constexpr std::uint8_t kCropFill = 127;
constexpr std::uint8_t kConstantLevel = 128;

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    Put16(out, at, v & 0xFFFFu);
    Put16(out, at + 2, v >> 16);
}

}  // namespace

Gamut FindGamut(const std::int16_t* image, int width, int height)
{
    const std::size_t n = static_cast<std::size_t>(width > 0 ? width : 0) * static_cast<std::size_t>(height > 0 ? height : 0);
    if (n == 0 || image == nullptr) return {};
    const auto [lo, hi] = std::minmax_element(image, image + n);
    return {*lo, *hi};
}

GreyImage MapToGrey(const std::int16_t* image, int width, int height, Gamut gamut)
{
    GreyImage grey;
    grey.width = width;
    grey.height = height;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    grey.pixels.assign(n, kConstantLevel);
    if (gamut.highest <= gamut.lowest) return grey;
    const double range = static_cast<double>(gamut.highest - gamut.lowest);
    std::uint8_t* out = grey.pixels.data();
    for (std::size_t i = 0; i < n; ++i) {
        const int level = platform::Near(255.0 * (image[i] - gamut.lowest) / range);
        out[i] = static_cast<std::uint8_t>(platform::ClampInt(level, 0, 255));
    }
    return grey;
}

GreyImage Crop(const GreyImage& image, CropMargins m, bool* skipped)
{
    const long long width = static_cast<long long>(image.width) - m.left - m.right;
    const long long height = static_cast<long long>(image.height) - m.top - m.bottom;
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        if (skipped) *skipped = true;
        return image;
    }
    if (skipped) *skipped = false;
    GreyImage out;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kCropFill);
    // Destination (x, y) shows source (x + left, y + top).
    const int x0 = std::max(0, -m.left);
    const int x1 = static_cast<int>(std::min<long long>(width, static_cast<long long>(image.width) - m.left));
    for (int y = 0; y < out.height; ++y) {
        const long long sy = static_cast<long long>(y) + m.top;
        if (sy < 0 || sy >= image.height || x1 <= x0) continue;
        std::memcpy(&out.pixels[static_cast<std::size_t>(y) * out.width + x0],
                    &image.pixels[static_cast<std::size_t>(sy) * image.width + (x0 + m.left)],
                    static_cast<std::size_t>(x1 - x0));
    }
    return out;
}

std::vector<std::uint8_t> EncodeBmp(const GreyImage& image)
{
    const std::size_t stride = (static_cast<std::size_t>(image.width) + 3) & ~static_cast<std::size_t>(3);
    const std::size_t pixelBytes = stride * static_cast<std::size_t>(image.height);
    std::vector<std::uint8_t> out(kPixelOffset + pixelBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<std::uint32_t>(pixelBytes + kPixelOffset));
    Put32(out, 10, kPixelOffset);
    Put32(out, 14, kInfoHeaderBytes);
    Put32(out, 18, static_cast<std::uint32_t>(image.width));
    Put32(out, 22, static_cast<std::uint32_t>(image.height));
    Put16(out, 26, 1);
    Put16(out, 28, 8);
    Put32(out, 34, static_cast<std::uint32_t>(pixelBytes));
    for (int i = 0; i < 256; ++i) {
        std::uint8_t* entry = &out[kFileHeaderBytes + kInfoHeaderBytes + 4 * i];
        entry[0] = entry[1] = entry[2] = static_cast<std::uint8_t>(i);
    }
    for (int y = 0; y < image.height; ++y) {
        const std::size_t fileRow = static_cast<std::size_t>(image.height - 1 - y);
        std::memcpy(&out[kPixelOffset + fileRow * stride], &image.pixels[static_cast<std::size_t>(y) * image.width],
                    static_cast<std::size_t>(image.width));
    }
    return out;
}

std::string GamutLogLine(Gamut g)
{
    return platform::Format("(org gamut %d..%d, BMP gamut %d..%d", g.lowest, g.highest, g.lowest, g.highest);
}

std::string CropLogLine(int width, int height, CropMargins m)
{
    return platform::Format("Crop %dx%d l:%d,t:%d,r:%d,b:%d", width, height, m.left, m.top, m.right, m.bottom);
}

}  // namespace tessari
