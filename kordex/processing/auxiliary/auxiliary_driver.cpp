// The auxiliary worker.
//
// It reads the mode's section through the job's own accessor, so selecting
// the section touches no other thread's. Outline pixels (sensors with cut
// corners) are filled smoothly before the processor runs, so that its filters
// see no hard edge, and set to 0 after a success; after a failure they stay
// filled. A processor that runs out of memory fails the job with message 331.
#include "processing/auxiliary/auxiliary_driver.h"

#include <atomic>
#include <exception>
#include <string>

#include "calibration/image_folder.h"
#include "calibration/outline_mask.h"
#include "frame/frame_files.h"
#include "frame/library.h"
#include "platform/text.h"
#include "processing/auxiliary/calpost_binding.h"
#include "processing/auxiliary/internal_chain.h"
#include "processing/auxiliary/toneforge_call.h"
#include "processing/ip_params.h"
#include "processing/stage_context.h"

namespace kordex::auxiliary {
namespace {

void AuxDump(const ProcessingRun& run, const std::string& name, const std::int16_t* buffer)
{
    const std::string path = platform::Format("%s$io%s", run.dumpDir.c_str(), name.c_str());
    WriteRawFrame(Lib().log, path, buffer,
                  static_cast<std::size_t>(run.record.width) * static_cast<std::size_t>(run.record.height) *
                      sizeof(std::int16_t),
                  false);
}

// Runs the processor of the mode. Returns 1 done, 0 aborted, -1 failed
// (with its text in *error, or none).
int RunProcessor(ProcessingRun& run, const StageContext& ctx, const std::string& section, std::string* error)
{
    const int mode = run.record.mode;
    const bool dumps = run.settings.saveTempImgProcess != 0;
    if (mode < kFirstCalpostMode) {
        AuxChainParams params;
        ReadAuxChainParams(run.profile, params);
        ChainOutput output;
        output.statisticsPath = platform::Format("%s$io%s", run.dumpDir.c_str(), kStatisticsFile);
        output.dumps = dumps;
        return RunInternalChain(ctx, params, output);
    }
    if (mode < kFirstToneforgeMode) {
        CalpostParams params;
        ReadCalpostParams(run.profile, params);
        return RunCalpost(ctx, params, LocateCalpost(Lib().libraryDir, run.homePath), error);
    }
    return RunToneforge(ctx, run.profile.Path(), section, run.settings.descramble == kOutlineDescramble);
}

}  // namespace

const JobKind kAuxiliaryJob = {static_cast<int>(Slot::AuxProcessing), kAuxiliaryCloseTimeoutMs, "Aux IP closed",
                               "WRN: Aux IP closed by timeout", kMsgAbortIp, true};

std::shared_ptr<ProcessingRun> PrepareAuxiliary(std::int32_t flags, KX_Callback callback, void* window,
                                                std::int16_t* image, int mode)
{
    std::shared_ptr<ProcessingRun> run = PrepareProcessing(flags, callback, window, image, mode, false);
    run->SetKind(kAuxiliaryJob);
    run->worker = &RunAuxiliary;
    return run;
}

int RunAuxiliary(ProcessingRun& run)
{
    ProcessingJob& job = run.record;
    // The image goes to the caller at every end, before "Aux IP done" on
    // success.
    auto end = [&](bool handOver = true) {
        if (handOver) HandOverImage(run);
        run.WorkerEnded();
        return 0;
    };
    const bool dumps = run.settings.saveTempImgProcess != 0;
    run.dumpDir = PrepareImageFolder(run.homePath, job.width, job.height, dumps);
    FillImageOutline(run, -32767);

    const std::string section = ModeSection(job.mode);
    run.profile.SetSection(section);
    run.caption = std::string(platform::Trim(run.profile.ReadString("Caption", "")));
    MessageTable* messages = &Lib().messages;
    if (run.caption.empty()) {
        run.Report(KX_REPORT_ERROR, KX_EVENT_ERROR, FormatMessage(messages, kMsgAuxMissing, section.c_str()));
        StoreWord(run.AbortWord(), -1);
        return end();
    }
    run.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS, platform::Format("Aux IP [%s] started", section.c_str()));
    run.Report(KX_REPORT_INFO, KX_EVENT_MESSAGE, platform::Format("Mode name: %s", run.caption.c_str()));

    StageContext ctx = MakeContext(run);
    ctx.dump = nullptr;
    if (dumps) ctx.dump = [&run](const std::string& name, const std::int16_t* buffer) { AuxDump(run, name, buffer); };

    std::string error;
    int result;
    try {
        result = RunProcessor(run, ctx, section, &error);
    } catch (const std::exception&) {  // out of memory for an image
        result = -1;
        error.clear();
    }
    if (LoadWord(run.AbortWord()) == 1) return end();  // aborted: the abort report was the last word
    if (result > 0) {
        FillImageOutline(run, 0);
        HandOverImage(run);
        run.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS, "Aux IP done", 255);
        return end(false);
    }
    StoreWord(run.AbortWord(), -1);
    run.Report(KX_REPORT_ERROR, KX_EVENT_ERROR, error.empty() ? MessageText(messages, kMsgAuxFault) : error);
    return end();
}

}  // namespace kordex::auxiliary
