// Offset calibration and the negative-pixel shift.
//
// Arithmetic on the sign-extended pixel values in 32 bits. The difference
// p - dark below -16383 is stored as -16383; a difference above 32767 (a
// dark.raw holding the missing-pixel marker 0x8000, or a corrupt one) is
// saturated to 32767, never wrapped negative. The clip stores at most Cal_SatValue and never more than 32767,
// so a large Cal_SatValue cannot wrap a pixel negative either.
//
// The darkest-pixels walk ignores the missing-pixel marker -32768 (0x8000),
// which is not a measured value: a frame with undelivered pixels would
// otherwise be shifted by 32768.
#include "calibration/offset_step.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "frame/parallel_rows.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace kordex {
namespace {

constexpr int kDarkFloor = -16383;
constexpr int kMissingPixel = -32768;

void SubtractDark(const StepContext& ctx, const std::int16_t* dark)
{
    const int w = ctx.width;
    ParallelRows(ctx.threads, 0, ctx.height - 1, [&](const RowBand& band) {
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            std::int16_t* row = ctx.frame + static_cast<std::ptrdiff_t>(y) * w;
            const std::int16_t* darkRow = dark + static_cast<std::ptrdiff_t>(y) * w;
            for (int x = 0; x < w; ++x) {
                const int d = row[x] - darkRow[x];
                row[x] = static_cast<std::int16_t>(d < kDarkFloor ? kDarkFloor : std::min(d, 32767));
            }
            if (Aborted(ctx)) return;
        }
    });
}

void ShiftAndClip(const StepContext& ctx, int shift)
{
    const int w = ctx.width;
    const int upper = std::min(ctx.settings->calSatValue, 32767);
    ParallelRows(ctx.threads, 0, ctx.height - 1, [&](const RowBand& band) {
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            std::int16_t* row = ctx.frame + static_cast<std::ptrdiff_t>(y) * w;
            for (int x = 0; x < w; ++x) {
                const int p = row[x] + shift;
                row[x] = static_cast<std::int16_t>(p < 0 ? 0 : (p > upper ? upper : p));
            }
            if (Aborted(ctx)) return;
        }
    });
}

}  // namespace

int NegativePixelShift(const std::int16_t* frame, std::int64_t count, int width, std::int32_t* histogram)
{
    std::fill(histogram, histogram + 65536, 0);
    int minimum = 32767;
    bool any = false;
    for (std::int64_t i = 0; i < count; ++i) {
        const int p = frame[i];
        if (p == kMissingPixel) continue;
        ++histogram[p + 32768];
        minimum = std::min(minimum, p);
        any = true;
    }
    if (!any || minimum >= 0) return 0;
    // The walk consumes at least one bin and stops at the last value.
    std::int64_t q = width / 10;
    int value = minimum;
    for (;;) {
        q -= histogram[value + 32768];
        if (q <= 0 || value == 32767) break;
        ++value;
    }
    return value < 0 ? -value : 0;
}

StageResult RunOffsetStep(const StepContext& ctx, bool subtractDark)
{
    StageResult result = kStageDone;
    bool clip = true;
    if (!subtractDark) {
        Report(ctx, KX_REPORT_TIMED, "OfsCal (HW-dark) start");
    } else {
        const std::string path = CalibrationFile(ctx, "dark.raw");
        if (!platform::FileExists(path)) {
            Report(ctx, KX_REPORT_INFO, "WRN: dark.raw does not exist");
            result = kStageSkipped;
        } else {
            const auto dark = std::make_unique_for_overwrite<std::int16_t[]>(static_cast<std::size_t>(ctx.width) *
                                                                              static_cast<std::size_t>(ctx.height));
            if (!ReadFrameFile(ctx, path, dark.get())) {
                Report(ctx, KX_REPORT_ERROR, MessageText(ctx.messages, kMsgDarkFrameLoad));
                result = kStageFailed;
                clip = false;
            } else {
                Report(ctx, KX_REPORT_TIMED, "OfsCal start");
                SubtractDark(ctx, dark.get());
            }
        }
    }
    if (clip) {
        int shift = 0;
        if (ctx.settings->calNegPixCompensation != 0) {
            std::vector<std::int32_t> histogram(65536);
            shift = NegativePixelShift(ctx.frame, static_cast<std::int64_t>(ctx.width) * ctx.height, ctx.width,
                                       histogram.data());
            if (shift > 0) {
                Report(ctx, KX_REPORT_TIMED, platform::Format("Shift %d compensates neg pixels", shift));
                result = kStageDone;
            }
        }
        ShiftAndClip(ctx, shift);
    }
    if (Aborted(ctx)) return kStageFailed;
    Report(ctx, KX_REPORT_TIMED, "OfsCal done");
    return result;
}

}  // namespace kordex
