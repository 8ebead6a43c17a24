// Rectangles in image or client coordinates: left/top inclusive,
// right/bottom exclusive.
#pragma once

namespace grayscope {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

}  // namespace grayscope
