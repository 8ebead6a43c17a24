// Recording calibration frames through the acquisition and calibration
// exports.
//
// The exports are called directly (they are C functions of the same
// library). The acquisition's end is seen through its callback; the
// calibration's end through the job's running word, which the worker clears
// only after its last report, so no failure path can leave the wait hanging.
#include "calibration/frame_recording.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "calibration/calibration_frame_names.h"
#include "calibration/calibration_step.h"
#include "calibration/frame_average.h"
#include "calibration/trimmed_mode.h"
#include "frame/frame_files.h"
#include "kordex.h"
#include "platform/paths.h"
#include "platform/raw_file.h"
#include "platform/text.h"

namespace kordex {
namespace {

constexpr std::chrono::milliseconds kWaitSlice{20};
constexpr std::size_t kCustomNameCapacity = 39;

// Shared between the waiting thread and the reporting threads.
struct StageWaiter {
    std::mutex mutex;
    std::condition_variable changed;
    int outcome = 0;  // 0 running, 1 complete, -1 error
    std::string firstError;
    const FrameRequest* request = nullptr;
    const RecordingObserver* observer = nullptr;

    void Error(const char* text)
    {
        if (firstError.empty()) firstError = text;
        outcome = -1;
    }
};

std::int32_t OnAcquisitionReport(void* record)
{
    auto* status = static_cast<AcqStatus*>(record);
    auto* waiter = static_cast<StageWaiter*>(status->context);
    std::lock_guard<std::mutex> lock(waiter->mutex);
    if (status->kind >= KX_REPORT_ERROR) {
        waiter->Error(status->text);
    } else if (status->event == KX_EVENT_PROGRESS && status->progress > 100) {
        if (waiter->outcome == 0) waiter->outcome = 1;
    } else if (status->event == KX_EVENT_DATA && *waiter->observer) {
        (*waiter->observer)(RecordingProgress{*waiter->request, "acquiring", status->progress});
    }
    waiter->changed.notify_all();
    return 0;
}

std::int32_t OnCalibrationReport(void* record)
{
    auto* job = static_cast<CalibrationJob*>(record);
    auto* waiter = static_cast<StageWaiter*>(job->context);
    std::lock_guard<std::mutex> lock(waiter->mutex);
    if (job->kind >= KX_REPORT_ERROR) waiter->Error(job->text);
    waiter->changed.notify_all();
    return 0;
}

bool Cancelled(const std::atomic<bool>* cancel)
{
    return cancel && cancel->load();
}

bool Acquire(const FrameRequest& request, std::int16_t* frame, const std::atomic<bool>* cancel,
             const RecordingObserver& observer, std::string* error)
{
    StageWaiter waiter;
    waiter.request = &request;
    waiter.observer = &observer;
    if (observer) observer(RecordingProgress{request, "acquiring", 0});
    AcqStatus* handle = KXACQ_Connect(request.bright ? 1 : 0, &OnAcquisitionReport, &waiter, frame, 0);
    if (handle && KXACQ_StartFrame(handle)) {
        bool aborted = false;
        std::unique_lock<std::mutex> lock(waiter.mutex);
        while (waiter.outcome == 0) {
            waiter.changed.wait_for(lock, kWaitSlice);
            if (!aborted && waiter.outcome == 0 && Cancelled(cancel)) {
                aborted = true;
                lock.unlock();
                KXACQ_Abort(handle);
                lock.lock();
            }
        }
    }
    KXACQ_Close(handle);
    std::lock_guard<std::mutex> lock(waiter.mutex);
    if (waiter.outcome == 1) return true;
    *error = waiter.firstError.empty() ? "Acquisition fault" : waiter.firstError;
    return false;
}

bool Calibrate(const FrameRequest& request, std::int16_t* frame, const std::atomic<bool>* cancel,
               const RecordingObserver& observer, std::string* error)
{
    StageWaiter waiter;
    if (observer) observer(RecordingProgress{request, "calibrating", 0});
    CalibrationJob* job = KXC_Process(request.calibrationFlags, &OnCalibrationReport, &waiter, frame);
    if (!job) {
        *error = "Calibration API initialization";
        return false;
    }
    bool aborted = false;
    {
        std::unique_lock<std::mutex> lock(waiter.mutex);
        while (LoadWord(&job->runningWord) != 0) {
            waiter.changed.wait_for(lock, kWaitSlice);
            if (!aborted && Cancelled(cancel)) {
                aborted = true;
                lock.unlock();
                KXC_Abort(job);
                lock.lock();
            }
        }
    }
    const bool done = job->progress == 255;
    KXC_Close(job);
    std::lock_guard<std::mutex> lock(waiter.mutex);
    if (done && waiter.outcome == 0) return true;
    *error = waiter.firstError.empty() ? "Calibration fault" : waiter.firstError;
    return false;
}

// The whole unrotated frame while it lives; the previous cut, rotation and
// flip afterwards.
class WholeFrameGeometry {
public:
    WholeFrameGeometry()
    {
        KXC_GetImgCutParams(saved_);
        const std::int32_t whole[6] = {0, 0, 0, 0, 0, 0};
        KXC_SetImgCutParams(whole);
    }
    ~WholeFrameGeometry() { KXC_SetImgCutParams(saved_); }
    WholeFrameGeometry(const WholeFrameGeometry&) = delete;
    WholeFrameGeometry& operator=(const WholeFrameGeometry&) = delete;

private:
    std::int32_t saved_[6] = {};
};

bool MakeLevel(const CalibrationSetContext& ctx, const std::string& dir, std::string* error)
{
    if (platform::DirectoryExists(dir)) return true;
    int code = 0;
    const std::string text = platform::Format("Create sub-dir %s", dir.c_str());
    if (platform::MakeDirectory(dir, &code)) {
        ctx.log->Plain(text);
        return true;
    }
    *error = ctx.log->Error(text, code, true);
    return false;
}

std::string CustomFileName(const std::string& typed)
{
    std::string name = platform::Truncated(typed, kCustomNameCapacity);
    if (name.find('.') == std::string::npos) name += ".raw";
    return name;
}

}  // namespace

FrameSource ExportFrameSource(const std::atomic<bool>* cancel, RecordingObserver observer)
{
    return [cancel, observer](const FrameRequest& request, std::int16_t* frame, std::string* error) {
        if (!Acquire(request, frame, cancel, observer, error)) return false;
        if (!Calibrate(request, frame, cancel, observer, error)) return false;
        if (observer) observer(RecordingProgress{request, "done", 100});
        return true;
    };
}

bool CalibrateThroughExports(std::uint32_t flags, std::int16_t* frame, const std::atomic<bool>* cancel,
                             std::string* error)
{
    FrameRequest request;
    request.calibrationFlags = flags;
    return Calibrate(request, frame, cancel, RecordingObserver(), error);
}

bool EnsureCalibrationDirectories(const CalibrationSetContext& ctx, const char* subDir, std::string* error)
{
    std::string dir = ctx.calibrationDir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    // The missing levels from the top down.
    std::vector<std::string> missing;
    for (std::string d = dir; !d.empty() && d != "/" && !platform::DirectoryExists(d); d = platform::DirectoryOf(d))
        missing.push_back(d);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (!MakeLevel(ctx, *it, error)) return false;
    if (subDir && *subDir && !MakeLevel(ctx, dir + "/" + subDir, error)) return false;
    return true;
}

RecordingResult RecordCalibrationFrame(const RecordingOptions& options, const FrameSource& source)
{
    const CalibrationSetContext ctx = CalibrationSetFromLibrary();
    RecordingResult result;
    if (!EnsureCalibrationDirectories(ctx, nullptr, &result.error)) return result;
    ScopedLog logScope(*ctx.log, ctx.homePath, options.bright ? "B" : "D");
    Log& log = *ctx.log;

    const int s = options.sequence ? std::max(options.framesIgnore, 0) : 0;
    const int a = options.sequence ? std::max(options.framesAverage, 1) : 1;
    const std::string customName = platform::Truncated(options.customName, kCustomNameCapacity);
    if (options.sequence) {
        if (options.custom)
            log.Plain(platform::Format("-- Custom \"%s\" (skip:%d ave:%d)", customName.c_str(), s, a));
        else
            log.Plain(platform::Format("-- Calibration (skip:%d ave:%d)", s, a));
    } else {
        log.Plain(options.custom ? platform::Format("Custom frame \"%s\"", customName.c_str()) : "Calibration frame");
    }
    const bool offset = options.custom ? options.customOffsetCal : options.bright;

    const WholeFrameGeometry geometry;
    const std::size_t pixels = ctx.Pixels();
    std::vector<std::int16_t> frame(pixels);
    FrameAverage average(pixels);
    for (int i = 0; i < s + a; ++i) {
        if (i < s)
            log.Plain(platform::Format("skipped frame #%d", i));
        else if (a >= 2)
            log.Plain(platform::Format("averaged frame #%d", i - s));
        const FrameRequest request{options.bright, offset ? kRecordingOffsetFlags : 0u, i, s + a, i < s};
        if (!source(request, frame.data(), &result.error)) return result;
        if (i >= s) average.Add(frame.data());
    }
    average.Mean(frame.data());
    result.level = TrimmedMode(frame.data(), pixels);

    if (options.custom)
        result.fileName = CustomFileName(customName);
    else if (!options.bright)
        result.fileName = platform::FileNameOf(platform::ResolveNoCase(ctx.calibrationDir + kDarkFrameFile));
    else
        result.fileName = FreeBrightFrameName(ctx.calibrationDir, result.level);
    if (result.fileName.empty()) {
        result.error = log.Error(platform::Format("No free file name for level %d", result.level), 0, false);
        return result;
    }
    result.path = ctx.calibrationDir + result.fileName;
    platform::FileError error;
    if (!platform::WriteRawFile(result.path, frame.data(), pixels * sizeof(std::int16_t), &error)) {
        result.error = log.Error(error.text, error.code, false);
        return result;
    }
    log.Plain(platform::Format("Saved %s", result.fileName.c_str()));
    result.ok = true;
    return result;
}

}  // namespace kordex
