#include "grayscope/bpm/mask_buffer.h"

#include <algorithm>
#include <cstring>

#include "grayscope/view/frame_load.h"
#include "platform/exact_math.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace grayscope {

std::string MapFilePath(const std::string& directory, const char* name)
{
    return platform::ResolveNoCase(platform::WithTrailingSlash(platform::ExpandHome(directory)) + name);
}

void MaskBuffer::Load(const std::string& directory, int width, int height)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    bits_.assign(static_cast<std::size_t>(width_) * height_, 0);
    autoCount_ = LoadOne(MapFilePath(directory, kAutoMapName), kMaskAuto);
    manualCount_ = LoadOne(MapFilePath(directory, kManualMapName), kMaskManual);
}

int MaskBuffer::LoadOne(const std::string& path, std::uint8_t bit)
{
    for (auto& b : bits_)
        b = static_cast<std::uint8_t>(b & ~bit);
    if (bits_.empty())
        return 0;
    const std::int64_t bytes = FileBytes(path);
    if (bytes < 0)
        return 0;
    const std::int64_t expected = static_cast<std::int64_t>(bits_.size()) * 2;
    if (bytes != expected)
        return -1;
    std::vector<std::uint16_t> values(bits_.size());
    platform::FileError error;
    if (!platform::ReadRawFile(path, values.data(), expected, static_cast<std::size_t>(expected), &error))
        return error.text.rfind("size of", 0) == 0 ? -1 : 0;
    int count = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] != 0) {
            bits_[i] = static_cast<std::uint8_t>(bits_[i] | bit);
            ++count;
        }
    }
    return count;
}

int MaskBuffer::CurrentManualCount() const
{
    return static_cast<int>(std::count_if(bits_.begin(), bits_.end(), [](std::uint8_t b) { return (b & kMaskManual) != 0; }));
}

int MaskBuffer::TotalCount() const
{
    return static_cast<int>(std::count_if(bits_.begin(), bits_.end(), [](std::uint8_t b) { return b != 0; }));
}

SelectionRead MaskBuffer::ReadSelection(bool byColumn, long line, long from, long to) const
{
    SelectionRead r;
    auto readOne = [](long typed, int limit, bool* changed) {
        int v = platform::Wrap16(typed);
        if (v < 0)
            v = 0;
        if (v > limit)
            v = std::max(limit, 0);
        *changed = v != typed;
        return v;
    };
    r.segment.byColumn = byColumn;
    r.segment.line = readOne(line, LastLine(byColumn), &r.lineChanged);
    r.segment.from = readOne(from, LastIndex(byColumn), &r.fromChanged);
    r.segment.to = readOne(to, LastIndex(byColumn), &r.toChanged);
    return r;
}

void MaskBuffer::Fill(const Segment& s, bool bad)
{
    if (bits_.empty())
        return;
    const int line = std::clamp(s.line, 0, LastLine(s.byColumn));
    const int lo = std::clamp(std::min(s.from, s.to), 0, LastIndex(s.byColumn));
    const int hi = std::clamp(std::max(s.from, s.to), 0, LastIndex(s.byColumn));
    for (int i = lo; i <= hi; ++i) {
        const int x = s.byColumn ? line : i;
        const int y = s.byColumn ? i : line;
        std::uint8_t& b = bits_[static_cast<std::size_t>(y) * width_ + x];
        b = bad ? static_cast<std::uint8_t>(b | kMaskManual) : static_cast<std::uint8_t>(b & ~kMaskManual);
    }
}

void MaskBuffer::ClearManual()
{
    for (auto& b : bits_)
        b = static_cast<std::uint8_t>(b & ~kMaskManual);
}

bool MaskBuffer::SaveManual(const std::string& directory, platform::FileError* error) const
{
    std::vector<std::uint16_t> values(bits_.size(), 0);
    bool any = false;
    for (std::size_t i = 0; i < bits_.size(); ++i) {
        if (bits_[i] & kMaskManual) {
            values[i] = kManualMarkValue;
            any = true;
        }
    }
    const std::string path = MapFilePath(directory, kManualMapName);
    if (!any) {
        platform::RemoveFile(path);
        return true;
    }
    return platform::WriteRawFile(path, values.data(), values.size() * 2, error);
}

std::string MaskBuffer::InfoText() const
{
    const double area = std::max(1.0, static_cast<double>(width_) * height_);
    const int manual = CurrentManualCount();
    const int total = TotalCount();
    const int duplicated = autoCount_ + manual - total;
    auto pc = [area](int n) { return 100.0 * n / area; };
    return platform::Format(
        "bad pixels\nauto-detect:\t%d (%.3f%%)\nman initial:\t%d (%.3f%%)\nman currently:\t%d (%.3f%%)\n"
        "total count:\t%d (%.3f%%)\nduplicated:\t%d (%.3f%%)",
        autoCount_, pc(autoCount_), manualCount_, pc(manualCount_), manual, pc(manual), total, pc(total), duplicated,
        pc(duplicated));
}

void MarkPrimary(Segment* s, int markerX, int markerY)
{
    s->line = s->byColumn ? markerX : markerY;
    const int p = s->byColumn ? markerY : markerX;
    s->from = p;
    s->to = p;
}

void MarkSecondary(Segment* s, int markerX, int markerY)
{
    const int p = s->byColumn ? markerY : markerX;
    if (p >= s->from) {
        s->to = p;
    } else {
        s->to = s->from;
        s->from = p;
    }
}

}  // namespace grayscope
