#include "grayscope/view/zoom.h"

#include <algorithm>

namespace grayscope {

namespace {

int Round6(double v)
{
    return static_cast<int>(v + 0.499999);
}

}  // namespace

int ClampZoom(int zoom)
{
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

ViewLayout ComputeLayout(int w, int h, const Rect& area, int zoom, const Rect& current)
{
    ViewLayout layout;
    const int cw = area.Width();
    const int ch = area.Height();
    if (w <= 0 || h <= 0 || cw <= 0 || ch <= 0)
        return layout;
    const int z = ClampZoom(zoom);
    double cx = 0.5;
    double cy = 0.5;
    if (current.Width() > 0 && current.Height() > 0) {
        cx = (current.left + current.right) / 2.0 / w;
        cy = (current.top + current.bottom) / 2.0 / h;
    }
    const double rx = static_cast<double>(w) / cw;
    const double ry = static_cast<double>(h) / ch;
    int sw, sh, dw, dh;
    if (rx > ry) {
        sw = w / z;
        sh = std::min(Round6(rx * ch / z), h);
        dh = std::min(Round6(z * sh / rx), ch);
        dw = cw;
    } else {
        sh = h / z;
        sw = std::min(Round6(ry * cw / z), w);
        dh = ch;
        dw = std::min(Round6(z * sw / ry), cw);
    }
    sw = std::max(sw, 1);
    sh = std::max(sh, 1);
    auto place = [](int full, int size, double centre, int* lo, int* hi) {
        if (size < full) {
            int start = std::max(Round6(full * centre) - size / 2, 0);
            if (start + size > full)
                start = full - size;
            *lo = start;
            *hi = start + size;
        } else {
            *lo = 0;
            *hi = full;
        }
    };
    place(w, sw, cx, &layout.source.left, &layout.source.right);
    place(h, sh, cy, &layout.source.top, &layout.source.bottom);
    layout.destination = {area.left, area.bottom - dh, area.left + dw, area.bottom};
    layout.scrollBars = z > 1;
    layout.hScrollMax = w - layout.source.Width();
    layout.vScrollMax = h - layout.source.Height();
    return layout;
}

Rect ScrollTo(const ViewLayout& layout, int hPos, int vPos)
{
    Rect r = layout.source;
    const int h = std::clamp(hPos, 0, LastScrollPosition(layout.hScrollMax));
    const int v = std::clamp(vPos, 0, LastScrollPosition(layout.vScrollMax));
    r.right = h + r.Width();
    r.left = h;
    r.bottom = v + r.Height();
    r.top = v;
    return r;
}

bool ClientToPixel(const ViewLayout& layout, int px, int py, int* x, int* y)
{
    const Rect& s = layout.source;
    const Rect& d = layout.destination;
    if (d.Width() <= 0 || d.Height() <= 0)
        return false;
    *x = s.left + static_cast<int>(static_cast<double>(s.Width()) / d.Width() * (px - d.left));
    *y = s.top + static_cast<int>(static_cast<double>(s.Height()) / d.Height() * (py - d.top));
    return px >= d.left && px < d.right && py >= d.top && py < d.bottom;
}

void PixelToClient(const ViewLayout& layout, int x, int y, int* px, int* py)
{
    const Rect& s = layout.source;
    const Rect& d = layout.destination;
    *px = d.left + static_cast<int>(static_cast<double>(d.Width()) * (x - s.left) / std::max(s.Width(), 1) + 0.49999);
    *py = d.top + static_cast<int>(static_cast<double>(d.Height()) * (y - s.top) / std::max(s.Height(), 1) + 0.49999);
}

}  // namespace grayscope
