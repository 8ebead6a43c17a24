// One run of Tessari: load the detector library, read the settings and the
// command line, choose the processing mode, run the capture window, then
// show the error, signal the outcome and write or delete the outputs.
#pragma once

#include <functional>
#include <string>

#include "app/capture_settings.h"
#include "capture/capture_stages.h"
#include "library/kordex_api.h"

namespace tessari {

struct CaptureOutcome {
    int result = 2;          // 1 every stage succeeded, 2 otherwise
    bool cancelled = false;
    std::string errorText;   // the first error
};

// What the program needs from the user interface, so the flow itself stays
// free of it.
struct ProgramUi {
    // Runs the modal capture window.
    std::function<CaptureOutcome(const KordexApi& api, const CaptureRequest& request, std::int16_t* frame,
                                 std::int16_t* cut, CaptureOutputs& outputs, const CaptureSettings& settings)>
        runCapture;
    // Sends a broadcast; false with the reason when it could not be sent.
    std::function<bool(const std::string& name, int first, int second, std::string* error)> broadcast;
};

// The whole run; returns the process exit code (0 success, 1 failure).
// programDir ends in "/"; commandLine is the arguments joined by blanks.
int RunProgram(const std::string& programDir, const std::string& commandLine, const ProgramUi& ui);

}  // namespace tessari
