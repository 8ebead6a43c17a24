// The eight GSC_ exports. Each runs on the host's user-interface thread and
// lets nothing escape across the library boundary.
#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "grayscope.h"
#include "grayscope/ui/bpm_editor_window.h"
#include "grayscope/ui/library_state.h"
#include "grayscope/ui/view_window.h"
#include "platform/guarded.h"
#include "platform/text.h"

using namespace grayscope;

namespace {

bool IsLiveView(void* handle)
{
    const auto& live = Lib().liveViews;
    return std::find(live.begin(), live.end(), static_cast<ViewWindow*>(handle)) != live.end();
}

// Repaints every registered view whose image has the map's size.
void RepaintMapSizedViews()
{
    PruneRegistry();
    for (auto& view : Lib().registry)
        if (!view->Image().Empty() && MapHasSize(view->Image().width, view->Image().height))
            view->RequestRedraw(false);
}

// No exception leaves an export (memory, or a watcher thread that cannot be
// started): the failure is named on standard error (the viewer has no log
// of its own) and the export returns its failure value.
void ReportFailure(const char* name, const char* what) noexcept
{
    std::fprintf(stderr, "Grayscope: %s failed: %s\n", name, what);
}

template <typename Result, typename Body>
Result Guarded(const char* name, Result failure, Body&& body) noexcept
{
    return platform::Guarded(name, failure, body, ReportFailure);
}

template <typename Body>
void GuardedVoid(const char* name, Body&& body) noexcept
{
    platform::GuardedVoid(name, body, ReportFailure);
}

}  // namespace

extern "C" {

GSC_API intptr_t GSC_CreateView(const ViewDescriptor* descriptor)
{
    return Guarded(__func__, static_cast<intptr_t>(0), [&]() -> intptr_t {
        EnsureApplication();
        ViewDescriptor d{};
        if (descriptor != nullptr)
            std::memcpy(&d, descriptor, sizeof d);
        auto view = std::make_unique<ViewWindow>(d, static_cast<QWidget*>(d.parent));
        if (d.modal != 0) {
            // Modal to its owner only: the parent window, or without one the
            // host's active window. An application-modal view would also block
            // the mask editor, which has no owner and is opened from the view.
            view->setWindowModality(Qt::WindowModal);
            QWidget* owner = QApplication::activeWindow();
            if (d.parent == nullptr && owner != nullptr && qobject_cast<BpmEditorWindow*>(owner) == nullptr) {
                view->winId();
                view->windowHandle()->setTransientParent(owner->windowHandle());
            }
            return view->exec();
        }
        RegisterView(view.get());
        view->show();
        return reinterpret_cast<intptr_t>(view.release());
    });
}

GSC_API intptr_t GSC_CreateViewDefault(void)
{
    return Guarded(__func__, static_cast<intptr_t>(0), [&]() -> intptr_t {
        ViewDescriptor d{};
        d.modal = 1;
        return GSC_CreateView(&d);
    });
}

GSC_API void GSC_DestroyView(void* view)
{
    GuardedVoid(__func__, [&] {
        if (view == nullptr || !IsLiveView(view))
            return;
        delete static_cast<ViewWindow*>(view);
        PruneRegistry();
    });
}

GSC_API int32_t GSC_PreTranslateMessage(void* event)
{
    return Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        if (RegisteredViewCount() == 0)
            return 0;
        return HandleViewerKey(event) ? 1 : 0;
    });
}

GSC_API int32_t GSC_SetBPM(const BpmDescriptor* bpm)
{
    return Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        ApplyBpm(bpm);
        return Lib().editor ? 1 : 0;
    });
}

GSC_API int32_t GSC_ChangeBPMFrame(const char* directory, int32_t width, int32_t height)
{
    return Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        LibraryState& lib = Lib();
        if (directory != nullptr)
            platform::CopyTruncated(lib.bpm.directory, sizeof lib.bpm.directory, directory);
        if (width >= 0)
            lib.bpm.width = width;
        if (height >= 0)
            lib.bpm.height = height;
        PruneRegistry();
        if (BpmEditor* editor = lib.editor.get()) {
            for (auto& view : lib.registry)
                view->UpdateBpmButton();
            editor->Reload();
            for (auto& view : lib.registry)
                view->RequestRedraw(true);
            // The editor closes through a posted cancel, as its own Cancel would.
            if (BpmEditorWindow* window = editor->Window())
                QTimer::singleShot(0, window, [window] { window->reject(); });
        } else if (lib.bpm.cutLeft != 0 || lib.bpm.cutTop != 0 || lib.bpm.cutRight != 0 || lib.bpm.cutBottom != 0) {
            RepaintMapSizedViews();
        }
        return static_cast<int32_t>(lib.registry.size());
    });
}

GSC_API int32_t GSC_ChangeBPMCut(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        BpmDescriptor& bpm = Lib().bpm;
        if (left >= 0)
            bpm.cutLeft = left;
        if (top >= 0)
            bpm.cutTop = top;
        if (right >= 0)
            bpm.cutRight = right;
        if (bottom >= 0)
            bpm.cutBottom = bottom;
        RepaintMapSizedViews();
        return static_cast<int32_t>(Lib().registry.size());
    });
}

GSC_API int32_t GSC_IsUnicode(void)
{
    return 0;
}

}  // extern "C"
