#include "grayscope/ui/library_state.h"

#include <QApplication>
#include <QKeyEvent>

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "grayscope/ui/bpm_editor_window.h"
#include "grayscope/ui/error_box.h"
#include "grayscope/ui/view_window.h"
#include "platform/paths.h"

namespace grayscope {

namespace {

std::string ProgramPath()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return "grayscope";
    buffer[n] = '\0';
    return buffer;
}

// Routes function keys pressed anywhere in a view or in the editor to them.
class KeyFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        return event->type() == QEvent::KeyPress && receiver->isWidgetType() &&
               HandleViewerKeyFor(static_cast<QWidget*>(receiver), event);
    }
};

// Called from the QApplication's destructor before it takes the windows
// down: the editor's window is closed while it still can be, so its
// selection is written to the settings file and the attached view detached.
void ApplicationEnding()
{
    Lib().watchedApplication = nullptr;
    if (Lib().editor)
        Lib().editor->CloseWindow();
}

}  // namespace

LibraryState& Lib()
{
    static LibraryState state;
    if (!state.started) {
        state.started = true;
        state.settingsPath = SettingsPathFor(ProgramPath(), platform::ModulePath(reinterpret_cast<const void*>(&Lib)));
        state.flags = ReadLibraryFlags(state.settingsPath);
    }
    return state;
}

void SetSettingsPath(const std::string& path)
{
    Lib().settingsPath = path;
    Lib().flags = ReadLibraryFlags(path);
}

void EnsureApplication()
{
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "grayscope";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    // The post routines run at the start of ~QApplication, while every
    // widget still works; registered once per application object.
    if (Lib().watchedApplication != QCoreApplication::instance()) {
        Lib().watchedApplication = QCoreApplication::instance();
        qAddPostRoutine(&ApplicationEnding);
    }
    static QPointer<KeyFilter> filter;
    if (filter.isNull()) {
        filter = new KeyFilter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(filter);
    }
    InstallQtMessageBoxes();
}

void PruneRegistry()
{
    auto& r = Lib().registry;
    for (int i = static_cast<int>(r.size()) - 1; i >= 0; --i)
        if (r[i].isNull())
            r.erase(r.begin() + i);
}

bool RegisterView(ViewWindow* view)
{
    PruneRegistry();
    auto& r = Lib().registry;
    if (static_cast<int>(r.size()) >= kRegistryCapacity)
        return false;
    r.emplace_back(view);
    return true;
}

void UnregisterView(ViewWindow* view)
{
    PruneRegistry();
    auto& r = Lib().registry;
    r.erase(std::remove_if(r.begin(), r.end(), [view](const QPointer<ViewWindow>& p) { return p.data() == view; }),
            r.end());
}

int RegisteredViewCount()
{
    PruneRegistry();
    return static_cast<int>(Lib().registry.size());
}

bool MapHasSize(int width, int height)
{
    const BpmDescriptor& b = Lib().bpm;
    return b.directory[0] != '\0' && b.width >= 1 && b.height >= 1 && b.width == width && b.height == height;
}

void ApplyBpm(const BpmDescriptor* bpm)
{
    LibraryState& lib = Lib();
    if (bpm != nullptr) {
        std::memcpy(&lib.bpm, bpm, sizeof lib.bpm);
        lib.bpm.directory[sizeof lib.bpm.directory - 1] = '\0';
    } else {
        std::memset(&lib.bpm, 0, sizeof lib.bpm);
    }
    const bool valid = lib.bpm.directory[0] != '\0' && lib.bpm.width >= 1 && lib.bpm.height >= 1;
    if (valid && !lib.editor)
        lib.editor = std::make_unique<BpmEditor>();
    else if (!valid && lib.editor)
        lib.editor.reset();
    PruneRegistry();
    for (auto& view : lib.registry)
        view->UpdateBpmButton();
}

void ShutdownLibrary()
{
    LibraryState& lib = Lib();
    WriteLibraryFlags(lib.settingsPath, lib.flags);
    // A library unloaded before the application ends takes its routine along.
    if (QCoreApplication::instance() != nullptr && lib.watchedApplication == QCoreApplication::instance())
        qRemovePostRoutine(&ApplicationEnding);
    lib.watchedApplication = nullptr;
    // Windows can only be destroyed while an application object exists. The
    // editor's window went with the host's QApplication (ApplicationEnding);
    // one still there without an application belongs to an application this
    // library never saw and is left to the operating system.
    if (QCoreApplication::instance() != nullptr || lib.editor == nullptr || lib.editor->Window() == nullptr)
        lib.editor.reset();
    else
        (void)lib.editor.release();
    std::memset(&lib.bpm, 0, sizeof lib.bpm);
}

bool HandleViewerKey(void* qevent)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr)
        focus = QApplication::activeWindow();
    return HandleViewerKeyFor(focus, static_cast<QEvent*>(qevent));
}

bool HandleViewerKeyFor(QWidget* target, QEvent* event)
{
    if (target == nullptr || event == nullptr || event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() < Qt::Key_F1 || key->key() > Qt::Key_F12)
        return false;
    QWidget* top = target->window();
    const bool leftCtrl = (key->modifiers() & Qt::ControlModifier) != 0;
    if (auto* view = qobject_cast<ViewWindow*>(top))
        return view->HandleFunctionKey(key->key(), leftCtrl);
    if (auto* editorWindow = qobject_cast<BpmEditorWindow*>(top))
        return editorWindow->HandleFunctionKey(key->key(), leftCtrl);
    return false;
}

}  // namespace grayscope
