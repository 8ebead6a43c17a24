// FrameGeometry: how an acquired sensor frame becomes the delivered image.
//
// The sensor delivers frames of frameWidth x frameHeight pixels. The delivered
// image is the frame turned by a quarter (rotation 1 counter-clockwise, any
// other non-zero value clockwise), then mirrored (flip bit 0 left-right, bit 1
// top-bottom, both acting on the turned image), then cut by the four margins,
// which are measured in the delivered image. The raw margins are the same four
// margins expressed in the coordinates of the unturned frame; calibration works
// on the frame inside them.
#pragma once

#include <cstdint>
#include <string>

namespace kordex {

// Geometry limits: a side above this is refused as a configuration error,
// as is any geometry that leaves no image.
inline constexpr int kMaxFrameSide = 16384;

struct FrameGeometry {
    int frameWidth = 910;
    int frameHeight = 688;
    int cutLeft = 0;
    int cutTop = 0;
    int cutRight = 0;
    int cutBottom = 0;
    int rotation = 1;
    int flip = 1;
    // Derived by DeriveGeometry.
    int cutWidth = 688;
    int cutHeight = 910;
    int rawLeft = 0;
    int rawTop = 0;
    int rawRight = 0;
    int rawBottom = 0;
};

// 0, 1 or 2: every non-zero rotation other than 1 turns clockwise (2), for the
// cut, the raw margins and the mapping alike.
int RotationKind(int rotation);

// Recomputes the derived fields from the eight stored ones.
void DeriveGeometry(FrameGeometry& g);

// Empty when the stored fields make a usable geometry (frame sides 1..16384,
// margins not negative, a cut image of at least one pixel); else the reason,
// for a "WRN: " line.
std::string GeometryProblem(const FrameGeometry& g);

// Derives candidate and, when it is usable, makes it current. Otherwise
// current stays and *problem (when given) receives the reason.
bool ApplyGeometry(FrameGeometry& current, FrameGeometry candidate, std::string* problem);

// Cuts, turns and mirrors a frameWidth x frameHeight frame into the
// cutWidth x cutHeight image. The frame is only read.
void CutFrame(const FrameGeometry& g, const std::int16_t* frame, std::int16_t* image);

// Maps a frame pixel to the delivered image. Returns false when it lies
// outside the image (the coordinates are still stored).
bool MapFrameToImage(const FrameGeometry& g, int x, int y, int* imageX, int* imageY);

}  // namespace kordex
