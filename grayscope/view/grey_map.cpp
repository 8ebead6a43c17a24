// The pass runs in single precision like the rule it implements: the factor
// is rounded to float once, and each sample's product is formed in float, so
// the loop vectorises (convert, subtract, multiply, truncate, clamp).
#include "grayscope/view/grey_map.h"

#include "grayscope/view/row_bands.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace grayscope {

namespace {

int FlatLevel(int white)
{
    return std::min(std::abs(white) * 255 / 4095, 253);
}

}  // namespace

int GreyLevel(int sample, int black, int white, int topLevel)
{
    if (black == white)
        return FlatLevel(white);
    const float f = static_cast<float>(topLevel) / static_cast<float>(white - black);
    int level = static_cast<int>(f * static_cast<float>(sample - black));
    return std::clamp(level, 0, topLevel);
}

void MapGreyRows(const ViewerImage& image, int black, int white, int topLevel, int firstRow, int lastRow,
                 std::uint8_t* out)
{
    const int w = image.width;
    const int stride = PaddedRowBytes(w);
    if (black == white) {
        const auto level = static_cast<std::uint8_t>(FlatLevel(white));
        for (int y = firstRow; y <= lastRow; ++y)
            std::memset(out + static_cast<std::size_t>(image.height - 1 - y) * stride, level, w);
        return;
    }
    const float f = static_cast<float>(topLevel) / static_cast<float>(white - black);
    const float top = static_cast<float>(topLevel);
    const float b = static_cast<float>(black);
    for (int y = firstRow; y <= lastRow; ++y) {
        const std::int16_t* __restrict src = image.pixels.data() + static_cast<std::size_t>(y) * w;
        std::uint8_t* __restrict dst = out + static_cast<std::size_t>(image.height - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
            // Clamping in float before the conversion gives the same level as
            // truncating first (the bounds are whole numbers) and keeps the
            // product inside the int range.
            float v = f * (static_cast<float>(src[x]) - b);
            v = v < 0.0f ? 0.0f : v;
            v = v > top ? top : v;
            dst[x] = static_cast<std::uint8_t>(static_cast<int>(v));
        }
    }
}

void MapGrey(const ViewerImage& image, int black, int white, int topLevel, std::vector<std::uint8_t>* out)
{
    const std::size_t bytes = static_cast<std::size_t>(PaddedRowBytes(image.width)) * image.height;
    if (out->size() != bytes)
        out->assign(bytes, 0);
    if (image.Empty())
        return;
    std::uint8_t* levels = out->data();
    RunRowBands(image.height, BandCount(image.PixelCount()), [&](int first, int last) {
        MapGreyRows(image, black, white, topLevel, first, last, levels);
    });
}

std::array<std::uint32_t, 256> GreyPalette(bool maskColours)
{
    std::array<std::uint32_t, 256> palette{};
    for (std::uint32_t i = 0; i < 256; ++i)
        palette[i] = (i << 16) | (i << 8) | i;
    if (maskColours) {
        palette[kLevelAutoMask] = 0x800080u;
        palette[kLevelManualMask] = 0xFF00FFu;
    }
    return palette;
}

void PaintMask(const std::uint8_t* mask, int width, int height, std::uint8_t* levels)
{
    const int stride = PaddedRowBytes(width);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* m = mask + static_cast<std::size_t>(y) * width;
        std::uint8_t* dst = levels + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t bits = m[x];
            dst[x] = (bits & 2) ? kLevelManualMask : ((bits & 1) ? kLevelAutoMask : dst[x]);
        }
    }
}

}  // namespace grayscope
