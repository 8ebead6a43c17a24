// Banner placement and state colours. The colours follow the state's meaning:
// grey while the device starts, amber while the user must press the X-ray
// button, blue while the image streams in, green while it is optimised.
#include "ui/banner_layout.h"

#include "frame/message_table.h"

namespace kordex::ui {

namespace {

bool InRange(int v)
{
    return v >= 1 && v <= 8000;
}

const BannerColours kStates[4] = {
    // initialising
    {{40, 40, 40}, {255, 255, 255}, {200, 200, 205}, {150, 150, 155}, {225, 225, 230}, {120, 120, 130}, {90, 90, 95}},
    // waiting for the shot
    {{70, 40, 0}, {255, 255, 255}, {255, 214, 120}, {210, 140, 20}, {255, 236, 180}, {200, 120, 0}, {150, 90, 0}},
    // capturing
    {{10, 30, 80}, {255, 255, 255}, {160, 200, 255}, {60, 110, 200}, {210, 228, 255}, {40, 90, 190}, {20, 50, 120}},
    // optimising
    {{10, 60, 20}, {255, 255, 255}, {170, 230, 170}, {60, 150, 70}, {215, 245, 215}, {40, 130, 60}, {20, 90, 35}},
};

}  // namespace

Point BannerPosition(int x, int y, std::optional<Rect> parent, int screenWidth, int screenHeight, int bannerWidth,
                     int bannerHeight)
{
    if (x > 0 || y > 0) return {x, y};
    Rect area{0, 0, screenWidth, screenHeight};
    if (parent) {
        area = *parent;
    } else if (!InRange(screenWidth) || !InRange(screenHeight)) {
        area = {0, 0, 800, 600};
    }
    Point p{area.x + (area.width - bannerWidth) / 2, area.y + (area.height - bannerHeight) / 2};
    if (!InRange(p.x)) p.x = 100;
    if (!InRange(p.y)) p.y = 100;
    return p;
}

const BannerColours& BannerStateColours(int state)
{
    return kStates[(state >= 0 && state <= 3) ? state : 0];
}

int BannerStateText(int state, bool brightFrame)
{
    switch (state) {
    case 1:
        return brightFrame ? kMsgPressTheShotButton : kMsgWaitingForDark;
    case 2:
        return kMsgImageCapturing;
    case 3:
        return kMsgOptimizing;
    default:
        return kMsgDeviceInitialization;
    }
}

}  // namespace kordex::ui
