#include "grayscope/view/marker.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "platform/text.h"

namespace grayscope {

namespace {

// A decimal number at *p (optional sign); false when none.
bool ReadNumber(const char*& p, long* value)
{
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    if (end == p)
        return false;
    *value = v;
    p = end;
    return true;
}

}  // namespace

std::int32_t EncodeMarkerText(std::string_view text)
{
    std::string t(platform::Trim(text));
    for (char& c : t)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (t == "NONE")
        return 0;
    if (t == "R")
        return 1;
    if (t == "C")
        return 2;
    if (t == "S")
        return 3;
    const char* p = t.c_str();
    long a = 0;
    if (!ReadNumber(p, &a))
        return 0;
    while (*p == ' ')
        ++p;
    if (*p == 'X' || *p == '/') {
        ++p;
        while (*p == ' ')
            ++p;
        long b = 0;
        if (!ReadNumber(p, &b))
            b = 0;
        a = std::max(a, 0L);
        b = std::max(b, 0L);
        if (a <= 0 && b <= 0)
            return 0;
        const std::uint32_t code = ((static_cast<std::uint32_t>(b) | 0x8000u) << 16) |
                                   (static_cast<std::uint32_t>(a) & 0x7FFFu);
        return static_cast<std::int32_t>(code);
    }
    if (a <= 0)
        return 0;
    return static_cast<std::int32_t>(std::min(a, 0x7FFFFFFFL));
}

MarkerShape DecodeMarker(std::int32_t code)
{
    MarkerShape s;
    if (code < 0) {
        const auto u = static_cast<std::uint32_t>(code);
        s.kind = MarkerKind::Rectangle;
        s.a = static_cast<int>(u & 0x7FFFu);
        s.b = static_cast<int>((u >> 16) & 0x7FFFu);
        return s;
    }
    switch (code) {
    case 0: s.kind = MarkerKind::None; break;
    case 1: s.kind = MarkerKind::Row; break;
    case 2: s.kind = MarkerKind::Column; break;
    case 3: s.kind = MarkerKind::Surround; break;
    default:
        // Radii beyond the largest rectangle half-size cover any image anyway;
        // the limit keeps marker arithmetic inside the int range.
        s.kind = MarkerKind::Circle;
        s.radius = std::min(code, kMaxMarkerHalfSize);
        break;
    }
    return s;
}

const std::vector<std::string>& MarkerPresets()
{
    static const std::vector<std::string> presets = {"None", "R",   "C",    "S",     "10",    "20",
                                                     "50",   "100", "10x10", "20x10", "10x20", "20x20"};
    return presets;
}

std::vector<int> Profile(const ViewerImage& image, MarkerKind kind, int x, int y)
{
    std::vector<int> v;
    if (image.Empty())
        return v;
    if (kind == MarkerKind::Row && y >= 0 && y < image.height) {
        v.resize(image.width);
        for (int i = 0; i < image.width; ++i)
            v[i] = image.At(i, y);
    } else if (kind == MarkerKind::Column && x >= 0 && x < image.width) {
        v.resize(image.height);
        for (int j = 0; j < image.height; ++j)
            v[j] = image.At(x, j);
    }
    return v;
}

MarkerStatistics ComputeMarkerStatistics(const ViewerImage& image, const MarkerShape& shape, int x, int y, int first,
                                         int last)
{
    MarkerStatistics s;
    if (image.Empty() || x < 0 || y < 0 || x >= image.width || y >= image.height)
        return s;
    s.value = image.At(x, y);
    std::vector<int> values;
    switch (shape.kind) {
    case MarkerKind::None:
        return s;
    case MarkerKind::Row:
    case MarkerKind::Column: {
        const std::vector<int> p = Profile(image, shape.kind, x, y);
        const int n = static_cast<int>(p.size());
        int f = std::max(first, 0);
        int l = std::min(last, n - 1);
        if (l < f)
            l = f;
        for (int i = f; i <= l && i < n; ++i)
            values.push_back(p[i]);
        break;
    }
    case MarkerKind::Surround:
    case MarkerKind::Rectangle: {
        const int a = shape.kind == MarkerKind::Surround ? kSurroundHalfWidth : shape.a;
        const int b = shape.kind == MarkerKind::Surround ? kSurroundHalfHeight : shape.b;
        for (int j = std::max(y - b, 0); j <= std::min(y + b, image.height - 1); ++j)
            for (int i = std::max(x - a, 0); i <= std::min(x + a, image.width - 1); ++i)
                values.push_back(image.At(i, j));
        break;
    }
    case MarkerKind::Circle: {
        const long long r2 = static_cast<long long>(shape.radius) * shape.radius;
        for (int j = std::max(y - shape.radius, 0); j <= std::min(y + shape.radius, image.height - 1); ++j)
            for (int i = std::max(x - shape.radius, 0); i <= std::min(x + shape.radius, image.width - 1); ++i) {
                const long long di = i - x;
                const long long dj = j - y;
                if (di * di + dj * dj < r2)
                    values.push_back(image.At(i, j));
            }
        break;
    }
    }
    s.count = static_cast<int>(values.size());
    if (s.count == 0)
        return s;
    double sum = 0;
    s.min = values[0];
    s.max = values[0];
    for (int v : values) {
        sum += v;
        s.min = std::min(s.min, v);
        s.max = std::max(s.max, v);
    }
    s.mean = sum / s.count;
    double sq = 0;
    for (int v : values)
        sq += (v - s.mean) * (v - s.mean);
    s.deviation = std::sqrt(sq / s.count);
    return s;
}

double Percentile(const ViewerImage& image, double v)
{
    if (image.Empty())
        return 0.0;
    const long long r = std::llround(v);
    if (r <= image.min)
        return 0.0;
    if (r >= image.max)
        return 100.0;
    std::uint64_t sum = 0;
    for (long long k = 0; k <= r - image.min; ++k)
        sum += image.histogram[k];
    return 100.0 * static_cast<double>(sum) / static_cast<double>(image.PixelCount());
}

std::string MarkerTitle(const ViewerImage& image, const MarkerShape& shape, int x, int y, int pixelsUsed)
{
    switch (shape.kind) {
    case MarkerKind::Row:
        return platform::Format("Rows's chart ofs=%d pix", x - image.width / 2);
    case MarkerKind::Column:
        return platform::Format("Col's chartofs=%d pix", y - image.height / 2);
    case MarkerKind::Circle:
        return platform::Format("R=%d (%d pix)", shape.radius, pixelsUsed);
    case MarkerKind::Rectangle:
        return platform::Format("%dx%d (%d pix)", 2 * shape.a + 1, 2 * shape.b + 1, pixelsUsed);
    default:
        return {};
    }
}

std::string MarkerHeader(int x, int y)
{
    return platform::Format("row:%d  col:%d", y, x);
}

std::vector<std::string> StatisticsLines(const ViewerImage& image, const MarkerShape& shape,
                                         const MarkerStatistics& s)
{
    std::vector<std::string> lines;
    const bool withPercentile = shape.kind == MarkerKind::Circle || shape.kind == MarkerKind::Rectangle;
    if (withPercentile) {
        lines.push_back(platform::Format("ave %.1f  %.2f%%", s.mean, Percentile(image, s.mean)));
        lines.push_back(platform::Format("dev %.1f", s.deviation));
        lines.push_back(platform::Format("min %d  %.2f%%", s.min, Percentile(image, s.min)));
        lines.push_back(platform::Format("max %d  %.2f%%", s.max, Percentile(image, s.max)));
        lines.push_back(platform::Format("val %d  %.2f%%", s.value, Percentile(image, s.value)));
    } else {
        lines.push_back(platform::Format("ave %.1f", s.mean));
        lines.push_back(platform::Format("dev %.1f", s.deviation));
        lines.push_back(platform::Format("min %d", s.min));
        lines.push_back(platform::Format("max %d", s.max));
        lines.push_back(platform::Format("val %d", s.value));
    }
    return lines;
}

}  // namespace grayscope
