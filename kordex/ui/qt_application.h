// ApplicationScope: a QApplication for the library's windows.
//
// A host with its own QApplication in the calling thread lends it. A host
// without one gets one created in the calling thread for the scope's life
// and deleted at its end; without DISPLAY and WAYLAND_DISPLAY (and no
// QT_QPA_PLATFORM of the host's) it uses the offscreen platform, so a
// headless host still runs the windows. A QCoreApplication that is not a
// QApplication, or one that lives in another thread, cannot carry widgets:
// the scope is then not Ok().
#pragma once

#include <memory>

class QApplication;

namespace kordex::ui {

class ApplicationScope {
public:
    ApplicationScope();
    ~ApplicationScope();
    ApplicationScope(const ApplicationScope&) = delete;
    ApplicationScope& operator=(const ApplicationScope&) = delete;

    bool Ok() const { return ok_; }

private:
    bool ok_ = false;
    // QApplication keeps references to argc and argv for its whole life (and
    // removes the switches it took), so each scope has its own.
    int argc_ = 1;
    char* argv_[4] = {};
    std::unique_ptr<QApplication> owned_;
};

// The platform message boxes served with Qt boxes (registered when the
// library loads; calling it again does nothing).
void RegisterQtMessageBoxes();

}  // namespace kordex::ui
