// Tessari, the capture program: takes one intraoral radiograph with the
// detector library and exits. See the README for the command line, the
// outputs and the signals an imaging application receives.
#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/program.h"
#include "command/command_line.h"
#include "platform/message_box.h"
#include "platform/program_arguments.h"
#include "signals/broadcast.h"
#include "window/capture_window.h"

namespace {

// Error boxes stay in front of every window until answered (the
// system-modal box of the desktop this program came from).
platform::BoxAnswer ShowQtBox(const platform::MessageBoxRequest& request)
{
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(request.title));
    box.setText(QString::fromStdString(request.text));
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    switch (request.icon) {
    case platform::BoxIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case platform::BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case platform::BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
    case platform::BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (request.buttons == platform::BoxButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.defaultAnswer == platform::BoxAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? platform::BoxAnswer::Yes : platform::BoxAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return platform::BoxAnswer::Ok;
}

std::string ProgramDirectory(const char* argv0)
{
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) self = std::filesystem::absolute(argv0, error);
    std::string dir = self.parent_path().string();
    return dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

}  // namespace

int main(int argc, char** argv)
{
    // Answered before anything else: no library, no sensor, no window.
    if (platform::AnswerInfoRequest(argc, argv, tessari::UsageText().c_str(), tessari::VersionText().c_str())) return 0;
    // Without a display the program still runs (and its boxes answer
    // themselves): the offscreen platform stands in for the screen.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string commandLine = tessari::JoinArguments(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(tessari::kProgramTitle);
    if (!platform::IsHeadless()) platform::SetMessageBoxHandler(ShowQtBox);

    tessari::ProgramUi ui;
    ui.runCapture = [](const tessari::KordexApi& api, const tessari::CaptureRequest& request, std::int16_t* frame,
                       std::int16_t* cut, tessari::CaptureOutputs& outputs, const tessari::CaptureSettings& settings) {
        tessari::CaptureWindowSetup setup;
        setup.api = &api;
        setup.request = request;
        setup.frame = frame;
        setup.cut = cut;
        setup.outputs = &outputs;
        setup.cancelBroadcast = settings.finalBroadcastMsg;
        setup.boxTitle = settings.applicationName;
        tessari::CaptureOutcome outcome;
        tessari::CaptureWindow window(setup);
        outcome.result = tessari::RunCaptureWindow(window);
        outcome.cancelled = window.Stages().Cancelled();
        outcome.errorText = window.Stages().ErrorText();
        return outcome;
    };
    ui.broadcast = tessari::SendBroadcast;
    const int code = tessari::RunProgram(ProgramDirectory(argv[0]), commandLine, ui);
    platform::SetMessageBoxHandler(nullptr);
    return code;
}
