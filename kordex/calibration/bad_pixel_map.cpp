// Loading the bad-pixel maps and running the correction.
#include "calibration/bad_pixel_map.h"

#include <memory>

#include "calibration/bad_pixel_correction.h"
#include "platform/paths.h"

namespace kordex {
namespace {

// 1 loaded, 0 missing, -1 unreadable (the file failure is logged). The
// buffer is not zeroed first: the read fills every pixel or fails.
int LoadMap(const StepContext& ctx, const char* name, std::unique_ptr<std::int16_t[]>* map)
{
    const std::string path = CalibrationFile(ctx, name);
    if (!platform::FileExists(path)) return 0;
    *map = std::make_unique_for_overwrite<std::int16_t[]>(static_cast<std::size_t>(ctx.width) *
                                                          static_cast<std::size_t>(ctx.height));
    return ReadFrameFile(ctx, path, map->get()) ? 1 : -1;
}

}  // namespace

int RunBadPixelStep(const StepContext& ctx)
{
    std::unique_ptr<std::int16_t[]> automatic, manual;
    const int haveAuto = LoadMap(ctx, kAutomaticMapFile, &automatic);
    if (haveAuto < 0) {
        Report(ctx, kReportError, StepMessage(ctx, 211));
        return -1;
    }
    const int haveManual = LoadMap(ctx, kManualMapFile, &manual);
    if (haveManual < 0) {
        Report(ctx, kReportError, StepMessage(ctx, 212));
        return -1;
    }
    if (haveAuto == 0 && haveManual == 0) {
        Report(ctx, kReportPlain, "WRN: BadPixMap omitted");
        return 0;
    }
    Report(ctx, kReportTimed,
           std::string("BadPixMap start: ") + (haveAuto && haveManual ? "auto and manual" : haveManual ? "manual" : "auto"));
    CorrectBadPixels(ctx, haveAuto ? automatic.get() : nullptr, haveManual ? manual.get() : nullptr, true);
    const std::int32_t word = ReadWord(ctx.abortWord);
    if (word == 0) {
        Report(ctx, kReportTimed, "BadPixMap done");
        return 1;
    }
    if (word == -1) {
        WriteWord(ctx.abortWord, 0);
        return 0;
    }
    return -1;
}

}  // namespace kordex
