// MaskBuffer: the bad-pixel maps of the editor, one byte per pixel.
//
// Bit 1: the pixel is bad in the automatic map "BPM.raw"; bit 2: it is bad in
// the manual map "BPMM.raw". Both files are headerless frames of width x
// height 16-bit values in the map directory; any nonzero value marks a pixel
// when read (so both 1 and 256 mark), and the manual map is written with 256
// for each marked pixel and 0 elsewhere. The fixed names are opened by exact
// spelling first and then without regard to case ("BPMM.RAW" is found).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/raw_file.h"

namespace grayscope {

inline constexpr std::uint8_t kMaskAuto = 1;
inline constexpr std::uint8_t kMaskManual = 2;
inline constexpr const char* kAutoMapName = "BPM.raw";
inline constexpr const char* kManualMapName = "BPMM.raw";
inline constexpr std::uint16_t kManualMarkValue = 256;

// The segment the editor works on.
struct Segment {
    bool byColumn = false;
    int line = 0;  // row (row mode) or column (column mode)
    int from = 0;  // index along the line
    int to = 0;
};

// A selection as typed, after the reading rules: each value read as a signed
// 16-bit number, negative -> 0, the line limited to L, From and To to A; the
// flags tell which values had to be changed (and are written back).
struct SelectionRead {
    Segment segment;
    bool lineChanged = false;
    bool fromChanged = false;
    bool toChanged = false;
};

class MaskBuffer {
public:
    // Loads both maps from directory for a width x height frame. A missing
    // file counts 0, a file of the wrong size -1 (no pixel marked).
    void Load(const std::string& directory, int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    const std::uint8_t* Data() const { return bits_.data(); }
    std::uint8_t At(int x, int y) const { return bits_[static_cast<std::size_t>(y) * width_ + x]; }
    bool Empty() const { return bits_.empty(); }

    int AutoCount() const { return autoCount_; }
    int InitialManualCount() const { return manualCount_; }
    int CurrentManualCount() const;
    int TotalCount() const;  // pixels with any bit

    // L (largest line number) and A (largest index along a line).
    int LastLine(bool byColumn) const { return byColumn ? width_ - 1 : height_ - 1; }
    int LastIndex(bool byColumn) const { return byColumn ? height_ - 1 : width_ - 1; }

    SelectionRead ReadSelection(bool byColumn, long line, long from, long to) const;

    // Sets (bad) or clears the manual bit on the segment, From and To in
    // either order.
    void Fill(const Segment& segment, bool bad);
    void ClearManual();

    // Writes "BPMM.raw" (256 per manual pixel) when at least one pixel is
    // marked, else deletes it. False with *error filled when the file cannot
    // be written.
    bool SaveManual(const std::string& directory, platform::FileError* error) const;

    // The Info box text.
    std::string InfoText() const;

private:
    int LoadOne(const std::string& path, std::uint8_t bit);

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> bits_;
    int autoCount_ = 0;
    int manualCount_ = 0;
};

// The path of a map file in directory, found without regard to case.
std::string MapFilePath(const std::string& directory, const char* name);

// Marking from the view. Primary: the line becomes the marker's row (row
// mode) or column, From and To its index along the line. Secondary: with p the
// index along the line, p >= From sets To = p, else From = p and To = the
// old From.
void MarkPrimary(Segment* segment, int markerX, int markerY);
void MarkSecondary(Segment* segment, int markerX, int markerY);

}  // namespace grayscope
