// The order of the steps matters to the imaging application: the error box
// is shown before the outcome is signalled, the broadcast follows the named
// event, and the DICOM information file and the PACS copy exist before the
// PACS broadcast; after a failure nothing stale of a previous run remains
// that the application could take for this run's result.
//
// A run succeeds only when its result files are complete: a result file
// (the -F raw file, "image.bmp", the DICOM image) or the DICOM information
// file that cannot be written makes the run fail with "can't create <path>".
// So the information file is written before the outcome is signalled, and
// an application that hears of success finds every file in place.
#include "app/program.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/run_outputs.h"
#include "command/command_line.h"
#include "command/tooth_mode.h"
#include "output/dicom_info_file.h"
#include "output/output_names.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/profile_file.h"
#include "platform/text.h"
#include "signals/named_event.h"

#ifndef TESSARI_VERSION
#define TESSARI_VERSION "0"
#endif

namespace tessari {

namespace {

constexpr const char* kLogName = "EU";
constexpr int kLogGenerations = 10;
constexpr const char* kLogTitle = "== End-user acquisition program log ==";

class Run {
public:
    Run(const KordexApi& api, const ProgramUi& ui) : api_(api), ui_(ui) {}

    int Execute(const std::string& commandLine);

private:
    void Log(const std::string& line) const { api_.KX_LogMsg(line.c_str()); }
    void ErrorBox(const std::string& text) const
    {
        platform::MessageBoxRequest box;
        box.title = settings_.applicationName;
        box.text = text;
        platform::ShowMessageBox(box);
    }
    std::string Read(const char* key, const char* defaultText) const
    {
        return api_.KX_IniProfGetStr(key, defaultText);
    }
    bool SimulatedSensor() const;
    void ChooseModeFromTooth();
    void Finish();
    void Broadcast(const std::string& name, int first, int second) const;

    const KordexApi& api_;
    const ProgramUi& ui_;
    CaptureSettings settings_;
    CommandLine command_;
    std::string home_;
    std::string folder_;
    int frameWidth_ = 0, frameHeight_ = 0, cutWidth_ = 0, cutHeight_ = 0;
    int processingMode_ = 0;
    std::string errorText_;
    bool success_ = false;
    bool cancelled_ = false;
    std::unique_ptr<RunOutputs> outputs_;
};

bool Run::SimulatedSensor() const
{
    if (const char* link = std::getenv("KORDEX_SENSOR_LINK")) return platform::EqualsNoCase(link, "virtual");
    // [Settings] is the library's: read from its file directly, since the
    // library's reading export writes a missing key back.
    const std::string libraryPath = platform::ModulePath(reinterpret_cast<const void*>(api_.KX_IsUnicode));
    platform::ProfileFile file(platform::LocateBesideModule(libraryPath, "kordex.ini", std::getenv("KORDEX_INI")));
    file.SetSection("Settings");
    return platform::EqualsNoCase(platform::Trim(file.ReadString("SensorLink", "usb")), "virtual");
}

void Run::ChooseModeFromTooth()
{
    static constexpr const char* kListKeys[] = {"IPFrontUp", "IPFrontLow", "IPMolarUp", "IPMolarLow", "IPReIndex"};
    std::string lists[5];
    for (int i = 0; i < 5; ++i) lists[i] = Read(kListKeys[i], "");
    const std::string key = ToothGroupKey(command_.toothIndex);
    std::string list;
    for (int i = 0; i < 5; ++i)
        if (key == kListKeys[i]) list = lists[i];
    const ModeChoice choice = ChooseMode(command_.toothIndex, command_.processingMode, list);
    if (!choice.ok) {
        errorText_ = choice.message;
        return;
    }
    Log(choice.message);
    processingMode_ = choice.mode;
}

int Run::Execute(const std::string& commandLine)
{
    api_.KX_LogOpen(nullptr, kLogGenerations, kLogName);
    Log(kLogTitle);
    platform::SetMessageBoxLogSink([this](const std::string& line) { Log(line); });

    api_.KX_IniProfSetSection(kCaptureSection);
    settings_ = ReadCaptureSettings([this](const char* key, const char* def) { return Read(key, def); });
    char home[256] = {};
    api_.KX_GetHomeDirectory(home);
    home_ = home;
    folder_ = OutputFolder(home_);
    std::error_code ignored;  // a folder that cannot be made shows up as "can't create" later
    std::filesystem::create_directories(folder_, ignored);

    api_.KXACQ_GetFrameDim(&frameWidth_, &frameHeight_);
    api_.KXC_GetImageDim(&cutWidth_, &cutHeight_);

    Log("Command line: " + UpperCased(commandLine));
    command_ = ParseCommandLine(commandLine);
    processingMode_ = command_.processingMode;
    if (!command_.error.empty())
        errorText_ = command_.error;  // no radiograph is taken from a line that cannot be read
    else if (command_.toothIndex >= 0)
        ChooseModeFromTooth();

    if (errorText_.empty()) {
        CaptureRequest request;
        request.darkFrame = command_.darkFrame;
        request.rawFileName = command_.rawFileName;
        request.vResetOverride = command_.vResetOverride;
        request.processingMode = processingMode_;
        request.dumpTemps = settings_.dumpTemps;
        request.frameWidth = frameWidth_;
        request.frameHeight = frameHeight_;
        request.cutWidth = cutWidth_;
        request.cutHeight = cutHeight_;
        RunContext context;
        context.log = [this](const std::string& line) { Log(line); };
        context.errorBox = [this](const std::string& text) { ErrorBox(text); };
        const int toothForImage = command_.toothIndex;
        outputs_ = std::make_unique<RunOutputs>(folder_, settings_, toothForImage, SimulatedSensor(),
                                                std::string("Tessari ") + TESSARI_VERSION, std::move(context));
        std::vector<std::int16_t> frame(static_cast<std::size_t>(frameWidth_) * static_cast<std::size_t>(frameHeight_));
        std::vector<std::int16_t> cut(static_cast<std::size_t>(cutWidth_) * static_cast<std::size_t>(cutHeight_));
        const CaptureOutcome outcome = ui_.runCapture(api_, request, frame.data(), cut.data(), *outputs_, settings_);
        success_ = outcome.result == 1;
        cancelled_ = outcome.cancelled;
        if (!success_) errorText_ = outcome.errorText;
        if (success_ && !outputs_->Failure().empty()) {
            success_ = false;
            errorText_ = outputs_->Failure();
        }
    }
    Finish();
    platform::SetMessageBoxLogSink(nullptr);
    api_.KX_LogClose();
    return success_ ? 0 : 1;
}

void Run::Broadcast(const std::string& name, int first, int second) const
{
    if (name.empty()) return;
    std::string error;
    if (!ui_.broadcast || !ui_.broadcast(name, first, second, &error))
        Log("WRN: broadcast \"" + name + "\" skipped: no session bus (" + error + ")");
}

void Run::Finish()
{
    const std::string infoPath = settings_.dicomInfoFile.empty() ? "" : HomeFilePath(home_, settings_.dicomInfoFile);
    const std::string pacsPath = settings_.pacsSaveFileName.empty() ? "" : platform::ExpandHome(settings_.pacsSaveFileName);
    if (success_ && command_.rawFileName.empty() && !infoPath.empty() &&
        !WriteDicomInfoFile(infoPath, cutWidth_, cutHeight_, settings_.dicomPixSpacing, settings_.dicomVerName)) {
        success_ = false;
        errorText_ = platform::Format("can't create %s", infoPath.c_str());
        Log("ERR: " + errorText_);
    }
    if (!errorText_.empty()) {
        Log("Error message dispayed: " + errorText_);
        ErrorBox(errorText_);
        errorText_.clear();
    }
    SetNamedEvent(success_ ? settings_.finalEvent : settings_.finalEventError);
    if (!cancelled_) Broadcast(settings_.finalBroadcastMsg, success_ ? 0 : 1, 0);

    if (success_) {
        if (!command_.rawFileName.empty()) return;
        // Only a bitmap this run wrote goes to the PACS (a run without
        // processing writes none, and an older one is not this radiograph).
        if (!pacsPath.empty() && outputs_ && outputs_->BitmapWritten()) {
            std::error_code error;
            std::filesystem::copy_file(outputs_->BitmapPath(), pacsPath,
                                       std::filesystem::copy_options::overwrite_existing, error);
            if (error)
                ErrorBox(platform::Format("Can't copy image.bmp to %s", pacsPath.c_str()));
            else
                Broadcast(settings_.pacsFinalBroadcastMsg, 0, 0);
        }
        return;
    }
    if (!infoPath.empty()) platform::RemoveFile(infoPath);
    if (!pacsPath.empty()) platform::RemoveFile(pacsPath);
}

}  // namespace

int RunProgram(const std::string& programDir, const std::string& commandLine, const ProgramUi& ui)
{
    KordexLibrary library;
    std::string errorText;
    if (library.Load(KordexLibrary::CandidatePath(programDir), &errorText) != LoadResult::Ok) {
        // Without the library neither the settings nor the home directory
        // are known, so there are no outputs to find and no signals to give.
        platform::ShowErrorBox(kLoadErrorTitle, errorText);
        return 1;
    }
    int exitCode = 1;
    {
        Run run(library.Api(), ui);
        exitCode = run.Execute(commandLine);
    }
    library.Unload();
    return exitCode;
}

}  // namespace tessari
