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

StageResult RunBadPixelStep(const StepContext& ctx)
{
    std::unique_ptr<std::int16_t[]> automatic, manual;
    const int haveAuto = LoadMap(ctx, kAutomaticMapFile, &automatic);
    if (haveAuto < 0) {
        Report(ctx, KX_REPORT_ERROR, MessageText(ctx.messages, kMsgAutoMapLoad));
        return kStageFailed;
    }
    const int haveManual = LoadMap(ctx, kManualMapFile, &manual);
    if (haveManual < 0) {
        Report(ctx, KX_REPORT_ERROR, MessageText(ctx.messages, kMsgManualMapLoad));
        return kStageFailed;
    }
    if (haveAuto == 0 && haveManual == 0) {
        Report(ctx, KX_REPORT_INFO, "WRN: BadPixMap omitted");
        return kStageSkipped;
    }
    Report(ctx, KX_REPORT_TIMED,
           std::string("BadPixMap start: ") + (haveAuto && haveManual ? "auto and manual" : haveManual ? "manual" : "auto"));
    CorrectBadPixels(ctx, haveAuto ? automatic.get() : nullptr, haveManual ? manual.get() : nullptr, true);
    const std::int32_t word = LoadWord(ctx.abortWord);
    if (word == 0) {
        Report(ctx, KX_REPORT_TIMED, "BadPixMap done");
        return kStageDone;
    }
    if (word == -1) {
        StoreWord(ctx.abortWord, 0);
        return kStageSkipped;
    }
    return kStageFailed;
}

}  // namespace kordex
