// Raw frame files of the library and the folders they live in.
//
// Home directory layout (every name relative to the home directory):
//   Log/           log files, logged acquired frames, transport-stream dumps
//   CAL/           the default calibration directory
//   IwwwwxHHHH/    processing step dumps of a cut image of that size
//   BACKUP/        the capture program's output files
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "frame/log.h"

namespace kordex {

// Writes a raw file; a failure is reported once through log's error form
// ("can't create dir/file", "IO file dir/file") and, with showBox, in an error
// box. Returns true on success.
bool WriteRawFrame(Log& log, const std::string& path, const void* data, std::size_t bytes,
                   bool showBox);

// Reads a raw file of exactly expectedBytes (or, with expectedBytes <= 0, the
// whole file into at most capacity bytes). Failures are reported as above
// ("can't open dir/file", "size of dir/file (A instead E)").
bool ReadRawFrame(Log& log, const std::string& path, void* buffer, std::int64_t expectedBytes,
                  std::size_t capacity, bool showBox);

// The calibration directory: the override (with a trailing "/") when one is
// set, else "<home>CAL/".
std::string CalibrationDirectory(const std::string& homePath, const std::string& override);

// "<home>I%4.4dx%4.4d/" for a cut image of width x height.
std::string ImageFolder(const std::string& homePath, int width, int height);

}  // namespace kordex
