// Zoom, the visible source rectangle and the destination rectangle.
//
// Zoom 1 fits the whole image into the image area keeping its aspect; zoom z
// shows 1/z of the image's longer relative side. The centre of the current
// source rectangle is kept across zoom changes and resizes. The destination is
// anchored at the bottom-left corner of the area. Rounding adds 0.499999 and
// truncates.
#pragma once

#include "grayscope/view/geometry.h"

namespace grayscope {

inline constexpr int kMinZoom = 1;
inline constexpr int kMaxZoom = 99;

// A typed zoom limited to 1..99 (0 or less becomes 1, 100 or more 99).
int ClampZoom(int zoom);

struct ViewLayout {
    Rect source;       // image pixels shown (image coordinates)
    Rect destination;  // where they are drawn (client coordinates)
    bool scrollBars = false;
    int hScrollMax = 0;  // horizontal range 0..hScrollMax (= w - sw)
    int vScrollMax = 0;
};

// area: the image area in client coordinates. current: the source rectangle
// before the change (an empty one counts as the whole image). An empty image
// or area gives an empty layout.
ViewLayout ComputeLayout(int imageWidth, int imageHeight, const Rect& area, int zoom, const Rect& current);

// Moves the source rectangle to scroll positions (clamped to
// 0..max(0, scroll maximum - 1) as the scroll bars allow); sizes unchanged.
Rect ScrollTo(const ViewLayout& layout, int hPos, int vPos);

// The largest position scrolling allows on a range 0..maximum.
inline int LastScrollPosition(int maximum) { return maximum > 0 ? maximum - 1 : 0; }

// Client point to image pixel; false when the point is outside the drawn image.
bool ClientToPixel(const ViewLayout& layout, int px, int py, int* x, int* y);

// Image pixel to client point (for overlays).
void PixelToClient(const ViewLayout& layout, int x, int y, int* px, int* py);

}  // namespace grayscope
