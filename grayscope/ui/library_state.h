// The library-wide state of Grayscope: the settings file, the two library
// flags, the registry of modeless views, the bad-pixel descriptor and the
// mask editor. Everything here lives on the host's user-interface thread.
#pragma once

#include <QPointer>

class QEvent;
class QWidget;

#include <memory>
#include <string>
#include <vector>

#include "grayscope.h"
#include "grayscope/view/viewer_settings.h"

namespace grayscope {

class ViewWindow;
class BpmEditor;

inline constexpr int kRegistryCapacity = 128;

struct LibraryState {
    std::string settingsPath;
    LibraryFlags flags;
    BpmDescriptor bpm{};
    std::vector<QPointer<ViewWindow>> registry;
    std::vector<ViewWindow*> liveViews;  // every view that exists, registered or not
    std::unique_ptr<BpmEditor> editor;
    bool openErrorShown = false;  // "can't open" is shown once per library lifetime
    bool started = false;
    // The application whose end closes the editor's window (see EnsureApplication).
    const void* watchedApplication = nullptr;
};

// The state, set up on first use (settings path found, flags read).
LibraryState& Lib();

// Creates a QApplication in the calling thread when the host has none, and
// installs the key filter and the Qt message boxes. When that application
// ends, the editor's window is closed first, so its settings are written
// even when the library is unloaded only after the application is gone.
void EnsureApplication();

// Overrides the settings file (tests and the host program); the flags are
// read again from it.
void SetSettingsPath(const std::string& path);

// Removes entries whose window no longer exists, from the end towards the start.
void PruneRegistry();
// Registers a view; false when the registry is full (the view still works).
bool RegisterView(ViewWindow* view);
void UnregisterView(ViewWindow* view);
int RegisteredViewCount();

// True when the bad-pixel map is set and has this size.
bool MapHasSize(int width, int height);

// Applies GSC_SetBPM (null clears); the editor is created or destroyed.
void ApplyBpm(const BpmDescriptor* bpm);

// Library shutdown: the flags are written back, the editor destroyed (its
// window, when it still has one, writes the editor's settings).
void ShutdownLibrary();

// The function-key handling shared by the views' own key filter and
// GSC_PreTranslateMessage: true when the key was consumed.
bool HandleViewerKey(void* qevent);  // the target is the focus widget
bool HandleViewerKeyFor(QWidget* target, QEvent* event);

}  // namespace grayscope
