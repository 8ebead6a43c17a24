// How Tessari's banner looks in each display state: the state texts, the
// colours and the moving highlight. Plain values; the window only paints
// them.
#pragma once

#include <cstdint>
#include <string>

#include "capture/capture_stages.h"

namespace tessari {

// The message numbers of the banner texts (section [User Interface], keys
// "msg20" ... "msg25") and their built-in texts.
inline constexpr int kFirstBannerText = 20;
inline constexpr int kBannerTextCount = 6;
const char* DefaultBannerText(int number);  // 20..25, else ""

// The text number a state shows: 20 initialising, 21 waiting for a dark
// frame, 22 waiting for the shot, 23 capturing, 24 optimising.
int BannerTextNumber(DisplayState state, bool darkFrame);

struct BannerColours {
    std::uint32_t text;       // 0xRRGGBB
    std::uint32_t upper;      // band at the top, 16 pixels
    std::uint32_t lower;      // band at the bottom, 16 pixels
    std::uint32_t frame;      // double frame
    std::uint32_t background;
    std::uint32_t highlight;  // the moving highlight's background
};
BannerColours BannerColoursFor(DisplayState state);

// The 35 ms timer moves the highlight: position k runs 0..141 and wraps; the
// split lies at k/140 of the width (the full width from 140 on).
inline constexpr int kHighlightPositions = 142;
int HighlightSplit(int position, int width);

// Window size from the widest text's pixel width and the text height.
inline constexpr int kBannerExtraWidth = 16;
inline constexpr int kBannerExtraHeight = 64;
inline constexpr int kBannerBandHeight = 16;

}  // namespace tessari
