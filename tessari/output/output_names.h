// Where Tessari's output files go.
//
// The output folder is "BACKUP" in the home directory. A file name without a
// "/" is placed there; a name with one is a path and used as it is ("~"
// standing for $HOME). A raw file name without an extension (no dot after the
// last "/") gets "<width>x<height>.raw" appended.
#pragma once

#include <string>
#include <string_view>

namespace tessari {

inline constexpr const char* kOutputFolder = "BACKUP";
inline constexpr const char* kBmpFileName = "image.bmp";

// home ends in "/"; the result ends in "/".
std::string OutputFolder(std::string_view home);

// name placed in folder (ending in "/") unless it holds a "/".
std::string OutputPath(std::string_view folder, std::string_view name);

// name with "%dx%d.raw" appended when it has no extension.
std::string RawFileName(std::string_view name, int width, int height);

// The DICOM information file: home + name, or name itself when it begins
// with "/" or "~".
std::string HomeFilePath(std::string_view home, std::string_view name);

}  // namespace tessari
