// Frame geometry: derivation, cut and coordinate mapping.
//
// The cut is computed straight from the frame: every delivered pixel is
// traced back through the cut margins, the mirrors and the quarter turn to
// the frame pixel it comes from, so no temporary image is needed and the
// frame is left as it was.
#include "frame/frame_geometry.h"

#include <utility>

#include "platform/text.h"

namespace kordex {

int RotationKind(int rotation)
{
    if (rotation == 0) return 0;
    return rotation == 1 ? 1 : 2;
}

void DeriveGeometry(FrameGeometry& g)
{
    const int kind = RotationKind(g.rotation);
    const int turnedWidth = kind ? g.frameHeight : g.frameWidth;
    const int turnedHeight = kind ? g.frameWidth : g.frameHeight;
    g.cutWidth = turnedWidth - g.cutLeft - g.cutRight;
    g.cutHeight = turnedHeight - g.cutTop - g.cutBottom;

    if (kind == 1) {
        g.rawLeft = g.cutBottom;
        g.rawTop = g.cutLeft;
        g.rawRight = g.cutTop;
        g.rawBottom = g.cutRight;
    } else if (kind == 2) {
        g.rawLeft = g.cutTop;
        g.rawTop = g.cutRight;
        g.rawRight = g.cutBottom;
        g.rawBottom = g.cutLeft;
    } else {
        g.rawLeft = g.cutLeft;
        g.rawTop = g.cutTop;
        g.rawRight = g.cutRight;
        g.rawBottom = g.cutBottom;
    }
    // A mirror of the turned image runs across the other axis of the frame.
    const bool swapLeftRight = kind ? (g.flip & 2) : (g.flip & 1);
    const bool swapTopBottom = kind ? (g.flip & 1) : (g.flip & 2);
    if (swapLeftRight) std::swap(g.rawLeft, g.rawRight);
    if (swapTopBottom) std::swap(g.rawTop, g.rawBottom);
}

std::string GeometryProblem(const FrameGeometry& g)
{
    if (g.frameWidth < 1 || g.frameHeight < 1 || g.frameWidth > kMaxFrameSide ||
        g.frameHeight > kMaxFrameSide)
        return platform::Format("frame size %dx%d outside 1..%d", g.frameWidth, g.frameHeight,
                                kMaxFrameSide);
    if (g.cutLeft < 0 || g.cutTop < 0 || g.cutRight < 0 || g.cutBottom < 0)
        return platform::Format("negative cut margin (%d, %d, %d, %d)", g.cutLeft, g.cutTop,
                                g.cutRight, g.cutBottom);
    FrameGeometry derived = g;
    DeriveGeometry(derived);
    if (derived.cutWidth < 1 || derived.cutHeight < 1)
        return platform::Format("cut image %dx%d is empty", derived.cutWidth, derived.cutHeight);
    return {};
}

bool ApplyGeometry(FrameGeometry& current, FrameGeometry candidate, std::string* problem)
{
    std::string why = GeometryProblem(candidate);
    if (!why.empty()) {
        if (problem) *problem = std::move(why);
        return false;
    }
    DeriveGeometry(candidate);
    current = candidate;
    return true;
}

void CutFrame(const FrameGeometry& g, const std::int16_t* frame, std::int16_t* image)
{
    const int kind = RotationKind(g.rotation);
    const long W = g.frameWidth;
    const long H = g.frameHeight;
    // Extents of the turned (working) image.
    const long EW = kind ? H : W;
    const long EH = kind ? W : H;
    const bool mirrorX = g.flip & 1;
    const bool mirrorY = g.flip & 2;

    for (long y = 0; y < g.cutHeight; ++y) {
        const long v = y + g.cutTop;
        const long v0 = mirrorY ? EH - 1 - v : v;  // line of the turned image
        std::int16_t* out = image + y * g.cutWidth;
        if (kind == 0) {
            const std::int16_t* line = frame + v0 * W;
            for (long x = 0; x < g.cutWidth; ++x) {
                const long u = x + g.cutLeft;
                out[x] = line[mirrorX ? EW - 1 - u : u];
            }
        } else if (kind == 1) {
            // Turned line v0 is frame column W-1-v0 read from the top down.
            const std::int16_t* column = frame + (W - 1 - v0);
            for (long x = 0; x < g.cutWidth; ++x) {
                const long u = x + g.cutLeft;
                out[x] = column[(mirrorX ? EW - 1 - u : u) * W];
            }
        } else {
            // Turned line v0 is frame column v0 read from the bottom up.
            const std::int16_t* column = frame + v0;
            for (long x = 0; x < g.cutWidth; ++x) {
                const long u = x + g.cutLeft;
                out[x] = column[(H - 1 - (mirrorX ? EW - 1 - u : u)) * W];
            }
        }
    }
}

bool MapFrameToImage(const FrameGeometry& g, int x, int y, int* imageX, int* imageY)
{
    const int kind = RotationKind(g.rotation);
    const int W = g.frameWidth;
    const int H = g.frameHeight;
    int u = x, v = y, extentWidth = W, extentHeight = H;
    if (kind == 1) {
        u = y;
        v = W - 1 - x;
        extentWidth = H;
        extentHeight = W;
    } else if (kind == 2) {
        u = H - 1 - y;
        v = x;
        extentWidth = H;
        extentHeight = W;
    }
    if (g.flip & 1) u = extentWidth - u - 1;
    if (g.flip & 2) v = extentHeight - v - 1;
    u -= g.cutLeft;
    v -= g.cutTop;
    if (imageX) *imageX = u;
    if (imageY) *imageY = v;
    return u >= 0 && u < g.cutWidth && v >= 0 && v < g.cutHeight;
}

}  // namespace kordex
