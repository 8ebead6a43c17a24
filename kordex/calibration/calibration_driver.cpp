// The calibration driver: the job's worker, its reports and dumps.
//
// The settings are taken once when the job starts, so a geometry change on
// the caller's thread during a run cannot reach the worker halfway.
#include "calibration/calibration_driver.h"

#include <bit>
#include <chrono>
#include <thread>
#include <vector>

#include "calibration/bad_pixel_map.h"
#include "calibration/calibration_step.h"
#include "calibration/despeckle_step.h"
#include "calibration/gain_step.h"
#include "calibration/image_folder.h"
#include "calibration/offset_step.h"
#include "calibration/outline_mask.h"
#include "calibration/replacement_step.h"
#include "frame/frame_files.h"
#include "frame/library.h"
#include "platform/exact_math.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace kordex {
namespace {

void DispatchCalibrationReport(CalibrationJob* job)
{
    const auto& windowHook = Lib().calibrationWindowHook;
    if (windowHook) windowHook(job);
    if (job->callback) job->callback(job);
}

StepContext MakeContext(CalibrationRun& run)
{
    Library& lib = Lib();
    StepContext ctx;
    ctx.frame = run.frame.data();
    ctx.width = run.record.frameWidth;
    ctx.height = run.record.frameHeight;
    ctx.left = run.settings.geometry.rawLeft;
    ctx.top = run.settings.geometry.rawTop;
    ctx.right = run.settings.geometry.rawRight;
    ctx.bottom = run.settings.geometry.rawBottom;
    ctx.settings = &run.settings;
    ctx.threads = run.settings.numParallelThreads;
    ctx.abortWord = run.AbortWord();
    ctx.calibrationDir = run.calibrationDir;
    ctx.outlineMask = run.outlineMask.empty() ? nullptr : run.outlineMask.data();
    ctx.log = &lib.log;
    ctx.messages = &lib.messages;
    ctx.report = [&run](int kind, int code, const std::string& text) { run.Report(kind, code, text); };
    ctx.dump = [&run](const std::string& name, const std::int16_t* buffer) { DumpCalibrationStep(run, name, buffer); };
    return ctx;
}

bool Outlined(const CalibrationRun& run)
{
    return run.settings.descramble == kOutlineDescramble;
}

// BuildOutlineMask into the run's slot: only for outlined sensors, and only
// when the slot is empty.
void HoldOutlineMask(CalibrationRun& run)
{
    if (!Outlined(run) || !run.outlineMask.empty()) return;
    run.outlineMask = BuildOutlineMask(run.record.frameWidth, run.record.frameHeight, run.settings.rcCutOff,
                                       run.settings.rcCutOffR);
}

void ReleaseOutlineMask(CalibrationRun& run)
{
    std::vector<std::int16_t>().swap(run.outlineMask);
}

}  // namespace

const JobKind kCalibrationJob = {static_cast<int>(Slot::Calibration), kCalibrationCloseTimeoutMs,
                                 "Calibration closed", "WRN: Calibration closed by time-out", kMsgAbortCalibration, false};

CalibrationRun::CalibrationRun() : WorkerJob(kCalibrationJob, &DispatchCalibrationReport) {}

void DumpCalibrationStep(const CalibrationRun& run, const std::string& name, const std::int16_t* buffer)
{
    if (run.settings.saveTempCalFrames == 0) return;
    const std::string path = platform::Format("%s$c%s.raw", run.dumpDir.c_str(), name.c_str());
    if (run.record.flags & kCalDumpToImageFolder) {
        const FrameGeometry& g = run.settings.geometry;
        std::vector<std::int16_t> image(static_cast<std::size_t>(g.cutWidth) * static_cast<std::size_t>(g.cutHeight));
        CutFrame(g, buffer, image.data());
        WriteRawFrame(Lib().log, path, image.data(), image.size() * sizeof(std::int16_t), false);
    } else {
        WriteRawFrame(Lib().log, path, buffer,
                      static_cast<std::size_t>(run.record.frameWidth) * static_cast<std::size_t>(run.record.frameHeight) *
                          sizeof(std::int16_t),
                      false);
    }
}

int RunCalibration(CalibrationRun& run)
{
    CalibrationJob& job = run.record;
    const std::uint32_t flags = job.flags;
    const int steps = std::popcount(flags & (kCalOffset | kCalGain | kCalBadPixels | kCalDespeckle));
    int done = 0;
    // The frame as it stands goes to the caller at every end: the whole
    // result before "Calibration done", what was done before a failure or
    // an abort otherwise (unless the close has shut the gate).
    auto handOver = [&] { run.caller->Write(0, run.frame.data(), run.frame.size()); };
    auto end = [&](int code) {
        if (code != 0) handOver();
        run.WorkerEnded();
        ReleaseOutlineMask(run);
        return code;
    };
    auto stepDone = [&](const char* dumpName) {
        ++done;
        run.Report(KX_REPORT_INFO, KX_EVENT_PROGRESS, "", platform::Near(static_cast<double>(done) / steps * 100.0));
        DumpCalibrationStep(run, dumpName, run.frame.data());
    };

    if (flags & kCalDumpToImageFolder)
        run.dumpDir = PrepareImageFolder(run.homePath, job.imageWidth, job.imageHeight,
                                         run.settings.saveTempImgProcess != 0);
    else
        run.dumpDir = run.calibrationDir;
    platform::DeleteByMask(run.dumpDir, "$c*.raw");
    if (flags & kCalDumpToImageFolder) DumpCalibrationStep(run, "0_src", run.frame.data());
    run.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS,
                      platform::Format("Calibration started flags=%xh (%d steps)", flags, steps));

    if (flags & kCalOffset) {
        if (run.StopRequested()) return end(-1);
        const bool hardwareDark =
            run.offsetMode == 1 ||
            (run.offsetMode == 2 && (flags & kCalAllowHardwareDark) && KXACQ_IsRecentFrameOfsCal() > 0);
        if (RunOffsetStep(MakeContext(run), !hardwareDark) < 0) return end(2);
        stepDone("1_offset");
    }
    if (flags & kCalGain) {
        if (run.StopRequested()) return end(-1);
        if (RunGainStep(MakeContext(run)) < 0) return end(3);
        stepDone("2_gain");
    }
    if (flags & kCalBadPixels) {
        HoldOutlineMask(run);
        if (run.StopRequested()) return end(-1);
        if (RunBadPixelStep(MakeContext(run)) < 0) return end(1);
        stepDone("3_bpm");
    }
    if (flags & kCalDespeckle) {
        HoldOutlineMask(run);
        if (run.StopRequested()) return end(-1);
        if (RunDespeckleStep(MakeContext(run)) < 0) return end(1);
        stepDone("4_des");
    }
    if (run.settings.calRepValue != run.settings.calSatValue) {
        const int replaced = RunReplacementStep(MakeContext(run));
        if (replaced < 0) return end(1);
        if (replaced > 0) DumpCalibrationStep(run, "5_rep", run.frame.data());
    }
    if (Outlined(run)) {
        const std::vector<std::int16_t>& held = run.outlineMask;
        const std::vector<std::int16_t> temporary =
            held.empty() ? BuildOutlineMask(job.frameWidth, job.frameHeight, run.settings.rcCutOff, run.settings.rcCutOffR)
                         : std::vector<std::int16_t>();
        FillOutline(run.frame.data(), held.empty() ? temporary.data() : held.data(), job.frameWidth, job.frameHeight, 0,
                    run.settings.numParallelThreads);
    }
    handOver();
    run.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS, "Calibration done", 255);
    return end(0);
}

std::shared_ptr<CalibrationRun> PrepareCalibration(std::uint32_t flags, KX_Callback callback, void* context,
                                                   std::int16_t* frame)
{
    Library& lib = Lib();
    auto run = std::make_shared<CalibrationRun>();
    CalibrationJob& job = run->record;
    run->settings = lib.settings;
    run->homePath = lib.HomePath();
    run->calibrationDir = lib.CalibrationDir();
    run->offsetMode = lib.calibrationOffsetMode;
    const FrameGeometry& g = run->settings.geometry;
    job.flags = flags;
    job.frameWidth = g.frameWidth;
    job.frameHeight = g.frameHeight;
    job.imageWidth = g.cutWidth;
    job.imageHeight = g.cutHeight;
    job.frame = frame;
    job.callback = callback;
    job.context = context;
    const std::size_t pixels = static_cast<std::size_t>(g.frameWidth) * static_cast<std::size_t>(g.frameHeight);
    run->frame.resize(pixels);
    run->caller = std::make_unique<CallerBuffer>(frame, pixels);
    run->caller->Read(run->frame.data());
    return run;
}

void LaunchCalibration(const std::shared_ptr<CalibrationRun>& run)
{
    run->Launch([run] { return RunCalibration(*run); });
}

}  // namespace kordex
