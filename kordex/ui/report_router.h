// ReportRouter: the library's door from the activities' reports to the one
// running get-image window.
//
// While a window runs, the acquisition's report observer and the calibration
// and processing window hooks of the library lead here, and from here to
// that window's sequence. Attach and Detach take the router's lock, as does
// every routed report, so no report reaches a window after Detach returned.
// Only one get-image window runs at a time: a second Attach is refused.
//
// Threads: Attach/Detach in the window's thread; reports in worker threads;
// Cancel (KX_GetImageCancel) in any thread.
#pragma once

#include <mutex>

#include "kordex.h"

namespace kordex::ui {

class GetImageSequence;

class ReportRouter {
public:
    // Installs the hooks and makes sequence the running window; false when
    // another window runs.
    bool Attach(GetImageSequence* sequence);
    // Removes the hooks when sequence is the running window.
    void Detach(GetImageSequence* sequence);
    // Sets the running window's cancelled flag and posts its Cancel command;
    // false when no window runs.
    bool Cancel();

    void Acquisition(AcqStatus* status);
    void Calibration(CalibrationJob* job);
    void Processing(ProcessingJob* job);

private:
    std::mutex mutex_;
    GetImageSequence* running_ = nullptr;
};

// The library's router.
ReportRouter& Router();

}  // namespace kordex::ui
