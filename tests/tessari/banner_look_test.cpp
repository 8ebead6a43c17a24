#include <gtest/gtest.h>

#include <set>

#include "window/banner_look.h"

namespace tessari {
namespace {

TEST(BannerLook, TextsPerState)
{
    EXPECT_EQ(BannerTextNumber(DisplayState::Initialising, false), 20);
    EXPECT_EQ(BannerTextNumber(DisplayState::Waiting, true), 21);
    EXPECT_EQ(BannerTextNumber(DisplayState::Waiting, false), 22);
    EXPECT_EQ(BannerTextNumber(DisplayState::Capturing, false), 23);
    EXPECT_EQ(BannerTextNumber(DisplayState::Optimising, true), 24);
    EXPECT_STREQ(DefaultBannerText(22), "Press the X-ray [shot] button");
    EXPECT_STREQ(DefaultBannerText(25), "Do you want to cancel?");
    EXPECT_STREQ(DefaultBannerText(26), "");
}

TEST(BannerLook, EveryStateHasItsOwnColours)
{
    std::set<std::uint32_t> backgrounds;
    for (DisplayState s : {DisplayState::Initialising, DisplayState::Waiting, DisplayState::Capturing,
                           DisplayState::Optimising}) {
        const BannerColours c = BannerColoursFor(s);
        backgrounds.insert(c.background);
        EXPECT_NE(c.text, c.background);
        EXPECT_NE(c.highlight, c.background);
    }
    EXPECT_EQ(backgrounds.size(), 4u);
}

TEST(BannerLook, HighlightSplitRunsAcrossTheWidth)
{
    EXPECT_EQ(HighlightSplit(0, 469), 0);
    EXPECT_EQ(HighlightSplit(70, 469), 234);
    EXPECT_EQ(HighlightSplit(140, 469), 469);
    EXPECT_EQ(HighlightSplit(141, 469), 469);  // the last position holds the full width
    EXPECT_EQ(kHighlightPositions, 142);
}

}  // namespace
}  // namespace tessari
