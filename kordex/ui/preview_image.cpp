// The preview picture of the get-image window.
//
// An acquired raw line becomes one preview row or column (a column with a
// quarter turn); when the scale is below 1 several raw lines fall on the same
// preview line and only the first of them to arrive is drawn.
#include "ui/preview_image.h"

#include <algorithm>

namespace kordex::ui {

DisplayWindow FindDisplayWindow(const std::vector<std::uint32_t>& histogram, std::uint64_t count, int lowest,
                                int highest)
{
    DisplayWindow w{lowest, highest};
    const std::uint64_t a = count / 30;
    if (a == 0 || lowest > highest) return w;
    std::uint64_t sum = 0;
    for (int v = lowest; v <= highest; ++v) {
        sum += histogram[static_cast<std::size_t>(v)];
        if (sum >= a) {
            w.low = sum == a ? v + 1 : v;
            break;
        }
    }
    sum = 0;
    for (int v = highest; v >= lowest; --v) {
        sum += histogram[static_cast<std::size_t>(v)];
        if (sum >= a) {
            w.high = sum == a ? v - 1 : v;
            break;
        }
    }
    return w;
}

std::uint8_t GreyLevel(int value, DisplayWindow window)
{
    if (window.high <= window.low) return 128;
    const double g = 255.0 * (value - window.low) / (window.high - window.low) + 0.49999;
    const int level = static_cast<int>(g);
    return static_cast<std::uint8_t>(std::clamp(level, 0, 255));
}

void PreviewImage::Reset(const FrameGeometry& geometry, int areaWidth, int areaHeight)
{
    geometry_ = geometry;
    const double sx = static_cast<double>(areaWidth) / geometry.cutWidth;
    const double sy = static_cast<double>(areaHeight) / geometry.cutHeight;
    scale_ = std::max(0.0, std::min(sx, sy));
    // The truncated products cut size x s, formed in integers so that the
    // side that fills the area is never one pixel short.
    const std::int64_t cw = geometry.cutWidth, ch = geometry.cutHeight;
    if (sx <= sy) {
        width_ = areaWidth;
        height_ = static_cast<int>(ch * areaWidth / cw);
    } else {
        height_ = areaHeight;
        width_ = static_cast<int>(cw * areaHeight / ch);
    }
    width_ = std::max(1, width_);
    height_ = std::max(1, height_);
    pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);
    histogram_.assign(kHistogramLevels, 0);
    cut_.assign(static_cast<std::size_t>(geometry.cutWidth) * geometry.cutHeight, 0);
    rowDone_.assign(static_cast<std::size_t>(std::max(geometry.frameHeight, 0)), 0);
    previewFilled_.assign(static_cast<std::size_t>(std::max(width_, height_)), 0);
    Clear();
}

void PreviewImage::Clear()
{
    std::fill(pixels_.begin(), pixels_.end(), 0);
    std::fill(histogram_.begin(), histogram_.end(), 0);
    std::fill(rowDone_.begin(), rowDone_.end(), 0);
    std::fill(previewFilled_.begin(), previewFilled_.end(), 0);
    count_ = 0;
    lowest_ = kHistogramLevels - 1;
    highest_ = 0;
    rowsDrawn_ = 0;
}

void PreviewImage::Put(int x, int y, std::int16_t value)
{
    const int v = std::clamp<int>(value, 0, kHistogramLevels - 1);
    pixels_[static_cast<std::size_t>(y) * width_ + x] = static_cast<std::uint16_t>(v);
    ++histogram_[static_cast<std::size_t>(v)];
    ++count_;
    lowest_ = std::min(lowest_, v);
    highest_ = std::max(highest_, v);
}

void PreviewImage::DrawOneLine(const std::int16_t* frame, int rawLine)
{
    const FrameGeometry& g = geometry_;
    const int first = g.rawLeft;
    const int last = g.frameWidth - g.rawRight - 1;
    if (last < first) return;
    int ix0, iy0, ix1, iy1;
    MapFrameToImage(g, first, rawLine, &ix0, &iy0);
    MapFrameToImage(g, last, rawLine, &ix1, &iy1);
    // The line runs along a preview row when its image row stays the same.
    const bool alongRow = iy0 == iy1;
    const int previewLine = alongRow ? static_cast<int>(iy0 * scale_) : static_cast<int>(ix0 * scale_);
    if (previewLine < 0 || previewLine >= (alongRow ? height_ : width_)) return;
    if (previewFilled_[static_cast<std::size_t>(previewLine)]) return;
    previewFilled_[static_cast<std::size_t>(previewLine)] = 1;
    ++rowsDrawn_;
    const std::int16_t* row = frame + static_cast<std::size_t>(rawLine) * g.frameWidth;
    const int span = last - first;
    const int along0 = alongRow ? ix0 : iy0;
    const int along1 = alongRow ? ix1 : iy1;
    const int limit = alongRow ? width_ : height_;
    int previous = -1;
    for (int x = first; x <= last; ++x) {
        // Image coordinate along the line, linear between the two ends.
        const int along = span == 0 ? along0 : along0 + (along1 - along0) * (x - first) / span;
        const int p = static_cast<int>(along * scale_);
        if (p == previous || p < 0 || p >= limit) continue;
        previous = p;
        if (alongRow)
            Put(p, previewLine, row[x]);
        else
            Put(previewLine, p, row[x]);
    }
}

bool PreviewImage::RowArrived(const std::int16_t* frame, int rawLine) const
{
    constexpr std::int16_t kNotDelivered = static_cast<std::int16_t>(0x8000);
    // Every sensor model sends a line's pixels so that one of the row's two
    // ends comes last; the cut span's ends are checked as well.
    const int w = geometry_.frameWidth;
    const std::int16_t* row = frame + static_cast<std::size_t>(rawLine) * w;
    return row[0] != kNotDelivered && row[w - 1] != kNotDelivered && row[geometry_.rawLeft] != kNotDelivered &&
           row[w - geometry_.rawRight - 1] != kNotDelivered;
}

void PreviewImage::DrawAcquiredLines(const std::int16_t* frame)
{
    if (frame == nullptr || pixels_.empty()) return;
    if (geometry_.frameWidth - geometry_.rawRight - 1 < geometry_.rawLeft) return;
    const int end = geometry_.frameHeight - geometry_.rawBottom;
    for (int line = geometry_.rawTop; line < end; ++line) {
        if (rowDone_[static_cast<std::size_t>(line)] || !RowArrived(frame, line)) continue;
        rowDone_[static_cast<std::size_t>(line)] = 1;
        DrawOneLine(frame, line);
    }
}

void PreviewImage::DrawFrame(const std::int16_t* frame)
{
    if (frame == nullptr || pixels_.empty()) return;
    CutFrame(geometry_, frame, cut_.data());
    DrawCutImage(cut_.data());
}

void PreviewImage::DrawCutImage(const std::int16_t* image)
{
    if (image == nullptr || pixels_.empty()) return;
    Clear();
    const int cw = geometry_.cutWidth, ch = geometry_.cutHeight;
    for (int i = 0; i < height_; ++i) {
        const int r = height_ > 1 ? static_cast<int>(static_cast<std::int64_t>(i) * (ch - 1) / (height_ - 1)) : 0;
        const std::int16_t* src = image + static_cast<std::size_t>(r) * cw;
        for (int j = 0; j < width_; ++j) {
            const int c = width_ > 1 ? static_cast<int>(static_cast<std::int64_t>(j) * (cw - 1) / (width_ - 1)) : 0;
            Put(j, i, src[c]);
        }
    }
}

DisplayWindow PreviewImage::Window() const
{
    return FindDisplayWindow(histogram_, count_, lowest_, highest_);
}

void PreviewImage::Render(std::uint8_t* out) const
{
    const DisplayWindow w = Window();
    const int stride = Stride();
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* dst = out + static_cast<std::size_t>(height_ - 1 - y) * stride;
        const std::uint16_t* src = pixels_.data() + static_cast<std::size_t>(y) * width_;
        for (int x = 0; x < width_; ++x) dst[x] = GreyLevel(src[x], w);
        for (int x = width_; x < stride; ++x) dst[x] = 0;
    }
}

}  // namespace kordex::ui
