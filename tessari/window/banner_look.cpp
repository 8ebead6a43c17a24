#include "window/banner_look.h"

#include <algorithm>

namespace tessari {

const char* DefaultBannerText(int number)
{
    switch (number) {
    case 20: return "Device Initialization";
    case 21: return "Waiting for dark frame";
    case 22: return "Press the X-ray [shot] button";
    case 23: return "Image capturing. Please wait for a while";
    case 24: return "Optimizing captured image";
    case 25: return "Do you want to cancel?";
    default: return "";
    }
}

int BannerTextNumber(DisplayState state, bool darkFrame)
{
    switch (state) {
    case DisplayState::Initialising: return 20;
    case DisplayState::Waiting: return darkFrame ? 21 : 22;
    case DisplayState::Capturing: return 23;
    case DisplayState::Optimising: return 24;
    }
    return 20;
}

BannerColours BannerColoursFor(DisplayState state)
{
    switch (state) {
    case DisplayState::Initialising:  // grey-blue: getting ready
        return {0x1E2A3A, 0x8FA3B8, 0x5D7189, 0x2F3E50, 0xD9E1EA, 0xB8C7D6};
    case DisplayState::Waiting:  // amber: the user must act
        return {0x3A2600, 0xF2B134, 0xC4861A, 0x7A4F00, 0xFFF1CC, 0xFFD87A};
    case DisplayState::Capturing:  // red: X-ray data arriving
        return {0xFFFFFF, 0xE0584A, 0xA8322A, 0x5E1410, 0xC8473B, 0xE87B70};
    case DisplayState::Optimising:  // green: computing the image
        return {0x0F2E14, 0x7CCB86, 0x3E9A4B, 0x1D5426, 0xDDF3E0, 0xA8E0B0};
    }
    return BannerColoursFor(DisplayState::Initialising);
}

int HighlightSplit(int position, int width)
{
    const int k = std::clamp(position, 0, 140);
    return static_cast<int>(static_cast<long long>(width) * k / 140);
}

}  // namespace tessari
