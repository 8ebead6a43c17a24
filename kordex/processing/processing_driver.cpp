// The processing driver: the job's worker, its reports and dumps.
//
// The settings and the mode's parameters are taken once when the job starts,
// so a change on the caller's thread cannot reach the worker halfway. The
// worker reads the settings file through an accessor of its own.
#include "processing/processing_driver.h"


#include "calibration/calibration_step.h"
#include "calibration/image_despeckle.h"
#include "calibration/image_folder.h"
#include "calibration/outline_mask.h"
#include "frame/frame_files.h"
#include "frame/library.h"
#include "platform/exact_math.h"
#include "platform/text.h"
#include "processing/final_contrast.h"
#include "processing/grey_remap.h"
#include "processing/stage_context.h"
#include "processing/unsharp_mask.h"

namespace kordex {
namespace {

void DispatchProcessingReport(ProcessingJob* job)
{
    const auto& windowHook = Lib().processingWindowHook;
    if (windowHook) windowHook(job);
    if (job->callback) job->callback(job);
}

}  // namespace

const JobKind kStandardJob = {static_cast<int>(Slot::Processing), kProcessingCloseTimeoutMs, "IP closed",
                              "WRN: IP closed by timeout", kMsgAbortIp, true};

ProcessingRun::ProcessingRun() : WorkerJob(kStandardJob, &DispatchProcessingReport), worker(&RunProcessing) {}

StageContext MakeContext(ProcessingRun& run)
{
    StageContext ctx;
    ctx.image = run.image.data();
    ctx.width = run.record.width;
    ctx.height = run.record.height;
    ctx.threads = run.settings.numParallelThreads;
    ctx.abortState = run.AbortWord();
    ctx.params = &run.params;
    ctx.settings = &run.settings;
    ctx.messages = &Lib().messages;
    ctx.report = [&run](int kind, int code, const std::string& text) { run.Report(kind, code, text); };
    ctx.dump = [&run](const std::string& name, const std::int16_t* buffer) { Dump(run, name, buffer); };
    return ctx;
}

void Dump(const ProcessingRun& run, const std::string& name, const std::int16_t* buffer)
{
    if (run.settings.saveTempImgProcess == 0) return;
    const std::string path = platform::Format("%s$i%s.raw", run.dumpDir.c_str(), name.c_str());
    WriteRawFrame(Lib().log, path, buffer,
                  static_cast<std::size_t>(run.record.width) * static_cast<std::size_t>(run.record.height) *
                      sizeof(std::int16_t),
                  false);
}

void FillImageOutline(ProcessingRun& run, int value)
{
    if (run.imageMask.empty()) return;
    FillOutlineImage(run.image.data(), run.imageMask.data(), run.record.width, run.record.height, value,
                     run.settings.numParallelThreads);
}

void HandOverImage(ProcessingRun& run)
{
    run.caller->Write(0, run.image.data(), run.image.size());
}

int RunProcessing(ProcessingRun& run)
{
    ProcessingJob& job = run.record;
    const std::int32_t flags = job.flags;
    auto end = [&](int code) {
        if (code != 0) HandOverImage(run);
        run.WorkerEnded();
        return code;
    };
    auto aborted = [&] { return run.AbortRequested(); };
    auto refresh = [&](int progress) {
        run.Report(KX_REPORT_INFO, KX_EVENT_PROGRESS, "", progress);
    };

    run.dumpDir = PrepareImageFolder(run.homePath, job.width, job.height, run.settings.saveTempImgProcess != 0);
    run.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS,
             platform::Format("IP start flags=%xh threads=%d (mode %d \"%s\")", static_cast<unsigned>(flags),
                              run.settings.numParallelThreads, job.mode, run.caption.c_str()));
    const int before = ((flags & kIpDespeckle) ? 1 : 0) + ((flags & kIpRemap) ? 1 : 0);
    const int units = before + ((flags & kIpUnsharpMask) ? run.params.numSteps : 0);
    StageContext ctx = MakeContext(run);

    if (flags & kIpDespeckle) {
        ImageDespeckleContext d;
        d.image = run.image.data();
        d.width = job.width;
        d.height = job.height;
        d.threads = run.settings.numParallelThreads;
        d.abortWord = run.AbortWord();
        d.report = [&run](const std::string& text) { run.Report(KX_REPORT_TIMED, KX_EVENT_MESSAGE, text); };
        d.dump = [&run](const std::string& name, const std::int16_t* buffer) { Dump(run, name, buffer); };
        ImageDespeckleParams p;
        p.threshold = run.params.despeckleThreshold;
        p.numPasses = run.params.despeckleNumPasses;
        p.threshold5x5 = run.params.despeckle5x5Threshold;
        if (ImageDespeckle(d, p) < 0) return end(2);
        refresh(platform::Near(100.0 / units));
        Dump(run, "1desp", run.image.data());
    }
    if (aborted()) return end(-1);
    run.params.viewKind = ViewKindFromCaption(run.caption);
    FillImageOutline(run, -32767);
    if (flags & kIpRemap) {
        if (GreyRemap(ctx) < 0) return end(2);
        refresh(platform::Near((1.0 + ((flags & kIpDespeckle) ? 1 : 0)) * 100.0 / units));
    }
    if (aborted()) return end(-1);
    if (flags & kIpUnsharpMask) {
        if (UnsharpMask(ctx, before, refresh) < 0) return end(2);
    }
    if (aborted()) return end(-1);
    FinalContrast(ctx);
    if (aborted()) return end(-1);
    FillImageOutline(run, 0);
    HandOverImage(run);
    run.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS, "IP done", 255);
    return end(0);
}

std::shared_ptr<ProcessingRun> PrepareProcessing(std::int32_t flags, KX_Callback callback, void* window,
                                                 std::int16_t* image, int mode, bool readParams)
{
    Library& lib = Lib();
    auto run = std::make_shared<ProcessingRun>();
    ProcessingJob& job = run->record;
    run->settings = lib.settings;
    run->homePath = lib.HomePath();
    run->profile.SetPath(lib.profile.Path());
    const FrameGeometry& g = run->settings.geometry;
    job.flags = flags;
    job.width = g.cutWidth;
    job.height = g.cutHeight;
    job.mode = mode;
    job.image = image;
    job.callback = callback;
    job.window = window;
    const std::size_t pixels = static_cast<std::size_t>(g.cutWidth) * static_cast<std::size_t>(g.cutHeight);
    run->image.resize(pixels);
    run->caller = std::make_unique<CallerBuffer>(image, pixels);
    run->caller->Read(run->image.data());
    if (readParams) {
        ReadModeParams(run->profile, mode, run->params);
        run->caption = ModeCaption(run->profile, mode);
    }
    if (run->settings.descramble == kOutlineDescramble)
        run->imageMask = CutOutlineMask(
            g, BuildOutlineMask(g.frameWidth, g.frameHeight, run->settings.rcCutOff, run->settings.rcCutOffR));
    return run;
}

void LaunchProcessing(const std::shared_ptr<ProcessingRun>& run)
{
    run->Launch([run] { return run->worker(*run); });
}

}  // namespace kordex
