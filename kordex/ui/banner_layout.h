// Banner window layout: where it goes, how large it is, how each display
// state is coloured and how far the moving highlight has come.
#pragma once

#include <cstdint>
#include <optional>

namespace kordex::ui {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct Point {
    int x = 0, y = 0;
};

// The banner's top-left corner. When x <= 0 and y <= 0 it is centred on the
// parent (when given) or on the screen; a screen size outside 1..8000 counts
// as 800 x 600, and a centred coordinate outside 1..8000 becomes 100.
// Otherwise the caller's (x, y) is taken unchanged.
Point BannerPosition(int x, int y, std::optional<Rect> parent, int screenWidth, int screenHeight, int bannerWidth,
                     int bannerHeight);

// Banner size: the widest state text + 16 wide, the text height + 64 high.
inline int BannerWidth(int widestText) { return widestText + 16; }
inline int BannerHeight(int textHeight) { return textHeight + 64; }

// The highlight runs 0..101 and wraps; the left k % of the width is drawn
// highlighted.
inline int NextHighlight(int k) { return k >= 101 ? 0 : k + 1; }
inline int HighlightWidth(int k, int width) { return width * k / 100 > width ? width : width * k / 100; }

struct Rgb {
    std::uint8_t r, g, b;
};

struct BannerColours {
    Rgb text;        // state text
    Rgb textLit;     // state text in the highlighted part
    Rgb upper;       // upper gradient band (16 pixels) from this colour
    Rgb lower;       // lower gradient band (16 pixels) to this colour
    Rgb body;        // between the bands
    Rgb bodyLit;     // between the bands, highlighted part
    Rgb frame;       // double frame
};

// Colours of the display states 0 initialising, 1 waiting, 2 capturing,
// 3 optimising (any other state is drawn like 0).
const BannerColours& BannerStateColours(int state);

// Message-table code of the text shown in a state.
int BannerStateText(int state, bool brightFrame);

}  // namespace kordex::ui
