// The image folder "<home>I%4.4dx%4.4d/" of a cut image size, where the
// processing chain (and calibration with flag bit 31) dumps its steps.
#pragma once

#include <string>

namespace kordex {

// Prepares the folder: when it exists its "$i*.raw" dumps are deleted;
// otherwise it is created when create is true (a failure is ignored: the
// dumps that follow report their own "can't create"). Returns the folder,
// ending in "/".
std::string PrepareImageFolder(const std::string& homePath, int width, int height, bool create);

}  // namespace kordex
