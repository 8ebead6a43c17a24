#include "grayscope/view/bmp_export.h"

#include <cstdio>

#include "grayscope/view/grey_map.h"

namespace grayscope {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const ViewerImage& image, int black, int white)
{
    constexpr std::uint32_t kPixelOffset = 14 + 40 + 256 * 4;  // 1078
    std::vector<std::uint8_t> levels;
    MapGrey(image, black, white, kTopLevelPlain, &levels);
    const auto imageBytes = static_cast<std::uint32_t>(levels.size());
    std::vector<std::uint8_t> out(kPixelOffset + imageBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, imageBytes + kPixelOffset);
    Put32(out, 10, kPixelOffset);
    Put32(out, 14, 40);
    Put32(out, 18, static_cast<std::uint32_t>(image.width));
    Put32(out, 22, static_cast<std::uint32_t>(image.height));
    Put16(out, 26, 1);
    Put16(out, 28, 8);
    Put32(out, 34, imageBytes);
    for (std::uint32_t i = 0; i < 256; ++i) {
        out[54 + 4 * i] = static_cast<std::uint8_t>(i);
        out[54 + 4 * i + 1] = static_cast<std::uint8_t>(i);
        out[54 + 4 * i + 2] = static_cast<std::uint8_t>(i);
    }
    std::copy(levels.begin(), levels.end(), out.begin() + kPixelOffset);
    return out;
}

bool WriteBmpFile(const std::string& path, const ViewerImage& image, int black, int white)
{
    if (image.Empty())
        return false;
    const std::vector<std::uint8_t> bytes = EncodeBmp(image, black, white);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::string DefaultBmpName(const std::string& rawName)
{
    const std::size_t slash = rawName.find_last_of('/');
    const std::size_t dot = rawName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return rawName + ".bmp";
    return rawName.substr(0, dot + 1) + "bmp";
}

}  // namespace grayscope
