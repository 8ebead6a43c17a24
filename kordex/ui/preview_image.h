// PreviewImage: what the preview window draws -- the image scaled into the
// preview area, its histogram and the display window that maps it to grey.
//
// The preview is the cut image scaled by s = min(area width / cut width,
// area height / cut height), each side truncated. Acquired lines are mapped
// through the frame geometry as they arrive; whole images (frame-sized, cut
// first, or cut-size) are sampled by nearest neighbour. Every pixel written
// is counted in the histogram (values clamped to 0..0x8000).
//
// The sensor does not send its lines top to bottom (most models send the
// top and bottom rows alternately, converging on the middle), so the
// preview does not draw "every row up to the last line received": on every
// data report it draws each frame row that has newly arrived whole -- its
// ends hold delivered data, not the 0x8000 fill. Rows are
// drawn once; a row whose preview row or column another row already filled
// is skipped.
//
// The display window leaves out 1/30 of the counted pixels at each end; the
// value boxes show the lowest and highest value. Rendering gives 8-bit grey,
// rows padded to four bytes, bottom row first (the device-independent
// bitmap's order is kept so the window can hand it over unchanged).
//
// All buffers are allocated by Reset; drawing and rendering allocate nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/frame_geometry.h"

namespace kordex::ui {

struct DisplayWindow {
    int low = 0;
    int high = 0;
};

inline constexpr int kHistogramLevels = 0x8001;

// The display window of a histogram (kHistogramLevels counters) holding
// count values between lowest and highest.
DisplayWindow FindDisplayWindow(const std::vector<std::uint32_t>& histogram, std::uint64_t count, int lowest,
                                int highest);

// One preview value as 8-bit grey: (255 * (v - low) / (high - low) + 0.49999)
// truncated and clamped to 0..255; 128 when high <= low.
std::uint8_t GreyLevel(int value, DisplayWindow window);

class PreviewImage {
public:
    // Sizes the preview for an area of areaWidth x areaHeight pixels and
    // clears it.
    void Reset(const FrameGeometry& geometry, int areaWidth, int areaHeight);
    // Empties the picture and the histogram.
    void Clear();

    // Draws the frame rows that have arrived since the last call.
    void DrawAcquiredLines(const std::int16_t* frame);
    // Draws a whole frame-sized image (cut through the geometry first).
    void DrawFrame(const std::int16_t* frame);
    // Draws a whole cut-size image.
    void DrawCutImage(const std::int16_t* image);

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::uint64_t Count() const { return count_; }
    int Lowest() const { return lowest_; }
    int Highest() const { return highest_; }
    int RowsDrawn() const { return rowsDrawn_; }
    DisplayWindow Window() const;
    std::uint16_t Pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

    // Bytes per rendered row: the width padded to four.
    int Stride() const { return (width_ + 3) & ~3; }
    // Renders into out (Stride() x Height() bytes), bottom row first.
    void Render(std::uint8_t* out) const;

private:
    void Put(int x, int y, std::int16_t value);
    void DrawOneLine(const std::int16_t* frame, int rawLine);
    bool RowArrived(const std::int16_t* frame, int rawLine) const;

    FrameGeometry geometry_;
    double scale_ = 0.0;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint16_t> pixels_;
    std::vector<std::uint32_t> histogram_;
    std::vector<std::int16_t> cut_;  // scratch for frame-sized images
    std::vector<std::uint8_t> rowDone_;      // per frame row: drawn or skipped
    std::vector<std::uint8_t> previewFilled_; // per preview row or column
    std::uint64_t count_ = 0;
    int lowest_ = kHistogramLevels - 1;
    int highest_ = 0;
    int rowsDrawn_ = 0;
};

}  // namespace kordex::ui
