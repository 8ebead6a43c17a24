// Loading a raw frame into a ViewerImage with the file-dimension
// autocomplete and its refusals.
#pragma once

#include <cstdint>
#include <string>

#include "grayscope/view/viewer_image.h"

namespace grayscope {

inline constexpr std::int64_t kSmallestFileBytes = 32;            // 31 bytes or less: refused silently
inline constexpr std::int64_t kWaitCursorBytes = 17999999;        // larger files show the wait cursor

// With a pixel count that is not width x height: if width > 16 and the count
// is a multiple of width, height = count / width; if still unequal and height
// > 16 and the count is a multiple of height, width = count / height; if still
// unequal and the count is a perfect square, both become its root. True when
// width x height equals the count afterwards (unchanged dimensions that
// already fit count as true).
bool AutocompleteDimensions(std::int64_t pixelCount, int* width, int* height);

enum class LoadResult {
    Loaded,
    CannotOpen,   // errorCode holds errno
    TooSmall,     // 31 bytes or less
    SizeMismatch, // an odd byte count, or the pixel count does not fit the dimensions
    ReadFailed,   // errorCode holds errno
};

// Reads path into *image (statistics built). *width and *height are the
// dimensions to use and receive the completed ones when autocomplete is on.
// A file with an odd number of bytes is refused (SizeMismatch) before the
// dimensions are completed, so *width and *height stay as given.
// On any failure *image is left empty.
LoadResult LoadFrame(const std::string& path, bool autocomplete, int* width, int* height, ViewerImage* image,
                     int* errorCode);

// The size of a file in bytes, -1 when it cannot be examined.
std::int64_t FileBytes(const std::string& path);

}  // namespace grayscope
