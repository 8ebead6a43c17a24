// The library's QApplication when its host has none, and its message boxes.
#include "ui/qt_application.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/message_box.h"

namespace kordex::ui {

namespace {

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Two threads of a host without Qt must not both make (or one make while
// the other deletes) the application.
std::mutex& CreationMutex()
{
    static std::mutex mutex;
    return mutex;
}

char g_name[] = "kordex";
char g_platformSwitch[] = "-platform";
char g_offscreen[] = "offscreen";

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

// Qt is not made to be unloaded: its globals and exit handlers outlive any
// application object. When a host unloads the detector library, Qt (and
// what it loaded) stays resident, so a later exit or a reload finds it
// whole.
void KeepQtLoaded()
{
    Dl_info info{};
    const auto exec = &QApplication::exec;
    void* address = nullptr;
    std::memcpy(&address, &exec, sizeof address);
    if (dladdr(address, &info) != 0 && info.dli_fname != nullptr)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

[[gnu::constructor]] void SetUpAtLoad()
{
    KeepQtLoaded();
    RegisterQtMessageBoxes();
}

}  // namespace

ApplicationScope::ApplicationScope()
{
    std::lock_guard<std::mutex> lock(CreationMutex());
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        ok_ = qobject_cast<QApplication*>(existing) != nullptr && existing->thread() == QThread::currentThread();
        return;
    }
    const bool offscreen = !IsSet("QT_QPA_PLATFORM") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY");
    argv_[0] = g_name;
    argv_[1] = offscreen ? g_platformSwitch : nullptr;
    argv_[2] = offscreen ? g_offscreen : nullptr;
    argc_ = offscreen ? 3 : 1;
    owned_ = std::make_unique<QApplication>(argc_, argv_);
    ok_ = true;
}

ApplicationScope::~ApplicationScope()
{
    std::lock_guard<std::mutex> lock(CreationMutex());
    owned_.reset();
}

void RegisterQtMessageBoxes()
{
    static std::once_flag once;
    std::call_once(once, [] { platform::SetMessageBoxProvider(ShowQtBox); });
}

}  // namespace kordex::ui
