// Banner placement, size and highlight.
#include <gtest/gtest.h>

#include "ui/banner_layout.h"

namespace kordex::ui {
namespace {

TEST(BannerPosition, FollowsThePlacementRules)
{
    struct Case {
        const char* name;
        int x, y;
        std::optional<Rect> parent;
        int screenW, screenH;
        Point expected;
    } cases[] = {
        {"caller's position", 30, 0, std::nullopt, 1920, 1080, {30, 0}},
        {"caller's negative y kept", 5, -20, std::nullopt, 1920, 1080, {5, -20}},
        {"centred on the screen", 0, 0, std::nullopt, 1920, 1080, {(1920 - 400) / 2, (1080 - 100) / 2}},
        {"centred on the parent", -1, -1, Rect{100, 200, 800, 300}, 1920, 1080, {300, 300}},
        {"unknown screen is 800 x 600", 0, 0, std::nullopt, 0, 9000, {200, 250}},
        {"off-screen centre becomes 100", 0, 0, Rect{-900, 10, 100, 100}, 1920, 1080, {100, 10}},
    };
    for (const Case& c : cases) {
        const Point p = BannerPosition(c.x, c.y, c.parent, c.screenW, c.screenH, 400, 100);
        EXPECT_EQ(p.x, c.expected.x) << c.name;
        EXPECT_EQ(p.y, c.expected.y) << c.name;
    }
}

TEST(BannerLayout, SizeAndHighlight)
{
    EXPECT_EQ(BannerWidth(300), 316);
    EXPECT_EQ(BannerHeight(23), 87);
    EXPECT_EQ(NextHighlight(0), 1);
    EXPECT_EQ(NextHighlight(100), 101);
    EXPECT_EQ(NextHighlight(101), 0);
    EXPECT_EQ(HighlightWidth(50, 300), 150);
    EXPECT_EQ(HighlightWidth(101, 300), 300);
}

TEST(BannerLayout, StateTexts)
{
    EXPECT_EQ(BannerStateText(0, true), 20);
    EXPECT_EQ(BannerStateText(1, false), 21);
    EXPECT_EQ(BannerStateText(1, true), 22);
    EXPECT_EQ(BannerStateText(2, true), 23);
    EXPECT_EQ(BannerStateText(3, false), 24);
    EXPECT_EQ(&BannerStateColours(7), &BannerStateColours(0));
}

}  // namespace
}  // namespace kordex::ui
