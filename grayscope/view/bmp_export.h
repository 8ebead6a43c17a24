// Export of the current image as an 8-bit Windows bitmap file.
//
// Layout: 14-byte file header ("BM", file size = image bytes + 1078, two
// reserved zeros, pixel offset 1078), 40-byte information header (width,
// positive height so rows run bottom-up, 1 plane, 8 bits, no compression,
// image size = padded row length x height, other fields 0), 256 grey palette
// entries (i, i, i, 0), then the rows. The grey map uses the given black and
// white points at top level 255, without mask colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "grayscope/view/viewer_image.h"

namespace grayscope {

// The whole file in memory.
std::vector<std::uint8_t> EncodeBmp(const ViewerImage& image, int black, int white);

// Writes the file; false when it cannot be created or written (the viewer
// skips such a file silently).
bool WriteBmpFile(const std::string& path, const ViewerImage& image, int black, int white);

// The default export name: the file name with its extension replaced by "bmp"
// (".bmp" appended when it has none).
std::string DefaultBmpName(const std::string& rawName);

}  // namespace grayscope
