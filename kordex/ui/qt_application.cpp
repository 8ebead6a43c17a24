// The library's QApplication when its host has none, and its message boxes.
#include "ui/qt_application.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <cstdlib>
#include <mutex>

#include "platform/message_box.h"

namespace kordex::ui {

namespace {

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// QApplication keeps references to argc and argv for its whole life.
int g_argc = 1;
char g_name[] = "kordex";
char g_platformSwitch[] = "-platform";
char g_offscreen[] = "offscreen";
char* g_argv[] = {g_name, g_platformSwitch, g_offscreen, nullptr};

QMessageBox::Icon BoxIcon(platform::BoxIcon icon)
{
    switch (icon) {
    case platform::BoxIcon::Error:
        return QMessageBox::Critical;
    case platform::BoxIcon::Warning:
        return QMessageBox::Warning;
    case platform::BoxIcon::Information:
        return QMessageBox::Information;
    case platform::BoxIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton Button(platform::BoxAnswer answer)
{
    switch (answer) {
    case platform::BoxAnswer::Ok:
        return QMessageBox::Ok;
    case platform::BoxAnswer::Cancel:
        return QMessageBox::Cancel;
    case platform::BoxAnswer::Yes:
        return QMessageBox::Yes;
    case platform::BoxAnswer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons Buttons(platform::BoxButtons buttons)
{
    switch (buttons) {
    case platform::BoxButtons::Ok:
        return QMessageBox::Ok;
    case platform::BoxButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case platform::BoxButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case platform::BoxButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

platform::BoxAnswer Answer(int button, platform::BoxAnswer fallback)
{
    switch (button) {
    case QMessageBox::Ok:
        return platform::BoxAnswer::Ok;
    case QMessageBox::Cancel:
        return platform::BoxAnswer::Cancel;
    case QMessageBox::Yes:
        return platform::BoxAnswer::Yes;
    case QMessageBox::No:
        return platform::BoxAnswer::No;
    default:
        return fallback;
    }
}

// A Qt box, modal, in the interface thread; declined in any other thread
// (the box is then answered headless), so a worker never waits on a thread
// that may be waiting for it.
std::optional<platform::BoxAnswer> ShowQtBox(const platform::MessageBoxRequest& request)
{
    QCoreApplication* existing = QCoreApplication::instance();
    if (existing != nullptr && existing->thread() != QThread::currentThread()) return std::nullopt;
    ApplicationScope scope;
    if (!scope.Ok()) return std::nullopt;
    QMessageBox box(BoxIcon(request.icon), QString::fromStdString(request.title),
                    QString::fromStdString(request.text), Buttons(request.buttons),
                    static_cast<QWidget*>(request.parent));
    box.setDefaultButton(Button(request.defaultAnswer));
    return Answer(box.exec(), request.defaultAnswer);
}

[[gnu::constructor]] void RegisterAtLoad()
{
    RegisterQtMessageBoxes();
}

}  // namespace

ApplicationScope::ApplicationScope()
{
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        ok_ = qobject_cast<QApplication*>(existing) != nullptr && existing->thread() == QThread::currentThread();
        return;
    }
    const bool offscreen = !IsSet("QT_QPA_PLATFORM") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY");
    g_argc = offscreen ? 3 : 1;
    owned_ = std::make_unique<QApplication>(g_argc, g_argv);
    ok_ = true;
}

ApplicationScope::~ApplicationScope() = default;

void RegisterQtMessageBoxes()
{
    static std::once_flag once;
    std::call_once(once, [] { platform::SetMessageBoxProvider(ShowQtBox); });
}

}  // namespace kordex::ui
