// The calibration-set context taken from the library, and the scoped log.
#include "calibration/calibration_set_context.h"

#include "calibration/outline_mask.h"
#include "frame/library.h"

namespace kordex {

CalibrationSetContext CalibrationSetFromLibrary()
{
    Library& lib = Lib();
    const FrameGeometry& g = lib.settings.geometry;
    CalibrationSetContext ctx;
    ctx.width = g.frameWidth;
    ctx.height = g.frameHeight;
    ctx.left = g.rawLeft;
    ctx.top = g.rawTop;
    ctx.right = g.rawRight;
    ctx.bottom = g.rawBottom;
    ctx.settings = &lib.settings;
    ctx.homePath = lib.HomePath();
    ctx.calibrationDir = lib.CalibrationDir();
    ctx.log = &lib.log;
    ctx.messages = &lib.messages;
    return ctx;
}

std::vector<std::int16_t> OutlineMaskOf(const CalibrationSetContext& ctx)
{
    if (ctx.settings->descramble != kOutlineDescramble) return {};
    return BuildOutlineMask(ctx.width, ctx.height, ctx.settings->rcCutOff, ctx.settings->rcCutOffR);
}

ScopedLog::ScopedLog(Log& log, const std::string& homePath, const char* tag) : log_(log)
{
    if (log_.IsOpen()) return;
    log_.Open(homePath, 10, tag);
    opened_ = log_.IsOpen();
}

ScopedLog::~ScopedLog()
{
    if (opened_) log_.Close();
}

}  // namespace kordex
