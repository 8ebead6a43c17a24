// Shared helpers of the calibration steps: frame files and fixed file names
// of the calibration directory.
#include "calibration/calibration_step.h"

#include <cstddef>

#include "frame/frame_files.h"
#include "platform/paths.h"
#include "platform/raw_file.h"

namespace kordex {

bool ReadFrameFile(const StepContext& ctx, const std::string& path, std::int16_t* buffer)
{
    const std::size_t bytes = static_cast<std::size_t>(ctx.width) * static_cast<std::size_t>(ctx.height) * 2;
    if (ctx.log) return ReadRawFrame(*ctx.log, path, buffer, static_cast<std::int64_t>(bytes), bytes, false);
    return platform::ReadRawFile(platform::ResolveNoCase(path), buffer, static_cast<std::int64_t>(bytes), bytes,
                                 nullptr);
}

std::string CalibrationFile(const StepContext& ctx, const char* name)
{
    return platform::ResolveNoCase(ctx.calibrationDir + name);
}

}  // namespace kordex
