// Frame geometry: derivation, refusals, cut and mapping.
#include <gtest/gtest.h>

#include <vector>

#include "frame/frame_geometry.h"

namespace kordex {
namespace {

FrameGeometry Make(int w, int h, int l, int t, int r, int b, int rotation, int flip)
{
    FrameGeometry g;
    g.frameWidth = w;
    g.frameHeight = h;
    g.cutLeft = l;
    g.cutTop = t;
    g.cutRight = r;
    g.cutBottom = b;
    g.rotation = rotation;
    g.flip = flip;
    DeriveGeometry(g);
    return g;
}

TEST(FrameGeometryTest, DefaultsGiveTurnedImageAndMapCorner)
{
    FrameGeometry g;
    DeriveGeometry(g);
    EXPECT_EQ(g.cutWidth, 688);
    EXPECT_EQ(g.cutHeight, 910);
    int x = -1, y = -1;
    EXPECT_TRUE(MapFrameToImage(g, 0, 0, &x, &y));
    EXPECT_EQ(x, 687);
    EXPECT_EQ(y, 909);
}

TEST(FrameGeometryTest, RotationTwoWithoutFlipPutsBottomLeftAtTopLeft)
{
    const FrameGeometry g = Make(5, 3, 0, 0, 0, 0, 2, 0);
    int x = -1, y = -1;
    EXPECT_TRUE(MapFrameToImage(g, 0, 2, &x, &y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);

    std::vector<std::int16_t> frame(15);
    for (int i = 0; i < 15; ++i) frame[i] = static_cast<std::int16_t>(i);
    std::vector<std::int16_t> image(15, -1);
    CutFrame(g, frame.data(), image.data());
    EXPECT_EQ(image[0], frame[2 * 5 + 0]);
}

struct RawMarginCase {
    int rotation, flip;
    int rawLeft, rawTop, rawRight, rawBottom;
};

TEST(FrameGeometryTest, RawMarginsFollowRotationAndFlips)
{
    // Cut margins left 1, top 2, right 3, bottom 4 in the delivered image.
    const RawMarginCase cases[] = {
        {0, 0, 1, 2, 3, 4}, {0, 1, 3, 2, 1, 4}, {0, 2, 1, 4, 3, 2}, {0, 3, 3, 4, 1, 2},
        {1, 0, 4, 1, 2, 3}, {1, 1, 4, 3, 2, 1}, {1, 2, 2, 1, 4, 3},
        {2, 0, 2, 3, 4, 1}, {2, 1, 2, 1, 4, 3}, {2, 2, 4, 3, 2, 1},
        // Every other non-zero rotation turns clockwise like 2.
        {3, 0, 2, 3, 4, 1}, {-1, 0, 2, 3, 4, 1},
    };
    for (const RawMarginCase& c : cases) {
        const FrameGeometry g = Make(40, 30, 1, 2, 3, 4, c.rotation, c.flip);
        SCOPED_TRACE(testing::Message() << "rotation " << c.rotation << " flip " << c.flip);
        EXPECT_EQ(g.rawLeft, c.rawLeft);
        EXPECT_EQ(g.rawTop, c.rawTop);
        EXPECT_EQ(g.rawRight, c.rawRight);
        EXPECT_EQ(g.rawBottom, c.rawBottom);
    }
}

// The cut, the mapping and the raw margins describe one transformation: every
// delivered pixel comes from the frame pixel that maps onto it, and that pixel
// lies inside the raw margins.
TEST(FrameGeometryTest, CutAgreesWithMappingAndRawMargins)
{
    const int W = 7, H = 5;
    std::vector<std::int16_t> frame(W * H);
    for (int i = 0; i < W * H; ++i) frame[i] = static_cast<std::int16_t>(i);
    for (int rotation : {0, 1, 2, 5}) {
        for (int flip = 0; flip < 4; ++flip) {
            const FrameGeometry g = Make(W, H, 1, 0, 2, 1, rotation, flip);
            SCOPED_TRACE(testing::Message() << "rotation " << rotation << " flip " << flip);
            std::vector<std::int16_t> image(g.cutWidth * g.cutHeight, -1);
            const std::vector<std::int16_t> before = frame;
            CutFrame(g, frame.data(), image.data());
            EXPECT_EQ(frame, before) << "the cut must leave the frame as it was";
            int inside = 0;
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    int u = 0, v = 0;
                    const bool in = MapFrameToImage(g, x, y, &u, &v);
                    const bool inRaw = x >= g.rawLeft && x < W - g.rawRight && y >= g.rawTop &&
                                       y < H - g.rawBottom;
                    EXPECT_EQ(in, inRaw) << "frame pixel " << x << "," << y;
                    if (!in) continue;
                    ++inside;
                    EXPECT_EQ(image[v * g.cutWidth + u], frame[y * W + x]);
                }
            }
            EXPECT_EQ(inside, g.cutWidth * g.cutHeight);
        }
    }
}

TEST(FrameGeometryTest, UnusableGeometryIsRefusedAndPreviousKept)
{
    FrameGeometry current;
    DeriveGeometry(current);
    const FrameGeometry before = current;
    const FrameGeometry refused[] = {
        Make(0, 688, 0, 0, 0, 0, 1, 1),          // no width
        Make(910, 16385, 0, 0, 0, 0, 1, 1),      // too tall
        Make(910, 688, 688, 0, 0, 0, 1, 1),      // cut width 0
        Make(910, 688, -1, 0, 0, 0, 1, 1),       // negative margin
        Make(910, 688, 0, 0, 0, 910, 1, 1),      // cut height 0
    };
    for (const FrameGeometry& g : refused) {
        std::string problem;
        EXPECT_FALSE(ApplyGeometry(current, g, &problem));
        EXPECT_FALSE(problem.empty());
        EXPECT_EQ(current.frameWidth, before.frameWidth);
        EXPECT_EQ(current.cutWidth, before.cutWidth);
        EXPECT_EQ(current.cutHeight, before.cutHeight);
    }
    std::string problem;
    EXPECT_TRUE(ApplyGeometry(current, Make(16384, 1, 0, 0, 0, 0, 0, 0), &problem));
    EXPECT_EQ(current.cutWidth, 16384);
}

}  // namespace
}  // namespace kordex
