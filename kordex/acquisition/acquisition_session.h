// AcquisitionSession: the library's one acquisition -- the AcqStatus record
// that is also the acquisition handle, the open sensor link, the read-out
// threads -- and the one door through which every acquisition report leaves
// the library.
//
// Connections: every Connect opens a connection of its own, which its read-
// outs hold jointly. A connection holds the caller's frame behind the close's
// gate (CallerBuffer) and its report lock; its close marks it closed, so a
// read-out left running after the close time-out can neither write the
// caller's frame nor reach the caller, nor touch the record of a later
// connection.
//
// Reports: Report() enters lock slot 0 (a report that finds the slot closing
// is dropped whole), takes the connection's report lock (a report of a
// closed connection is dropped), writes the record's kind, event, stage and
// text, writes
// the log line (kind 0 plain, kind 1 timed, kind 2 the "ERR: " form; a
// report with an empty text writes none) and hands the record to Deliver():
// first to the report observer (the get-image window installs it while it
// runs an acquisition), then to the caller's callback when the record's
// callback pointer is not null. Every error report sets the state to -1.
// The closing report ("Acquisition closed") bypasses the slot.
//
// Threads: Connect, StartFrame, Close and VendorCommand run in the caller's
// thread; Abort in any thread; reports arrive from the caller's thread and
// from the read-out thread, serialised by slot 0.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "kordex.h"

namespace kordex {

class CallerBuffer;
class Library;
class SensorLink;
class WorkerThread;

// One connection: from Connect to its Close.
struct AcquisitionConnection {
    std::shared_ptr<CallerBuffer> frame;  // the caller's frame buffer, behind the close's gate
    std::recursive_mutex reportMutex;     // one report at a time; a callback may abort (re-enter)
    std::atomic<bool> closed{false};      // nothing of this connection reaches the caller any more
};

// What a read-out report sets in the record besides kind, event and text.
struct FrameProgress {
    std::int32_t lines;
    std::int32_t progress;
};

class AcquisitionSession {
public:
    explicit AcquisitionSession(Library& library);
    ~AcquisitionSession();
    AcquisitionSession(const AcquisitionSession&) = delete;
    AcquisitionSession& operator=(const AcquisitionSession&) = delete;

    // KXACQ_Connect: finds and opens the sensor and sets up its reset
    // voltage. Returns the record, or null after an error report. An
    // acquisition still open is closed first.
    AcqStatus* Connect(std::int32_t flags, KX_Callback callback, void* context, std::int16_t* frame,
                       std::int32_t vResetOverride);
    // KXACQ_StartFrame: the start request (dark frames, and bright frames
    // with Bright61) after the 2000 ms wait, then the read-out thread.
    // 1 started; 0 for a null or foreign handle or a failed start request.
    std::int32_t StartFrame(AcqStatus* handle);
    // KXACQ_Abort: state 1 and the error report "Abort acquisition".
    std::int32_t Abort();
    // KXACQ_Close: waits for the read-out (3000 ms); after a time-out shuts
    // the caller's frame off from it and tells it to stop; saves and logs a
    // delivered frame when the read-out ended and no error was reported;
    // closes the device and reports "Acquisition closed" (or "WRN:
    // Acquisition closed by timeout").
    void Close();
    // KXACQ_VendorCommand: one vendor request on the open device; 1 or 0.
    std::int32_t VendorCommand(std::int32_t request, std::int32_t value, std::int32_t index);

    // One report of the current connection through slot 0 (see above).
    void Report(int kind, int event, int stage, std::string_view text);
    // One report of the given connection (a read-out's own); progress, when
    // given, is stored into the record with it.
    void ReportOn(AcquisitionConnection& connection, int kind, int event, int stage, std::string_view text,
                  const FrameProgress* progress = nullptr);

    // The get-image window's hook: called with the record on every report
    // (in the reporting thread) before the caller's callback. Empty removes
    // it.
    using ReportObserver = std::function<void(AcqStatus*)>;
    void SetReportObserver(ReportObserver observer);

    // One vendor request on link with its log line ("vendor cmd %X,%X,%X":
    // an error report on failure, an information report with DebugAcqDump),
    // reported on the given connection (the current one when null).
    bool SendVendorRequest(SensorLink* link, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                           AcquisitionConnection* connection = nullptr);

    AcqStatus& Status() { return status_; }
    // The record's state field, read and written atomically.
    std::int32_t State();
    void SetState(std::int32_t state);

    // True while a read-out holds its page block (a second read-out fails).
    std::atomic<bool> pageBlockInUse{false};
    // True when the last delivered frame came from the virtual sensor.
    std::atomic<bool> lastFrameSimulated{false};

    Library& lib;

private:
    struct Readout;

    void Fill(int kind, int event, int stage, std::string_view text);
    void Deliver();
    void SaveDeliveredFrame();
    bool SetUpResetVoltage(std::int32_t vResetOverride);
    std::shared_ptr<AcquisitionConnection> Current();

    AcqStatus status_{};
    std::shared_ptr<SensorLink> link_;
    std::vector<std::unique_ptr<Readout>> readouts_;
    std::shared_ptr<std::atomic<int>> liveReadouts_;
    std::mutex currentMutex_;
    std::shared_ptr<AcquisitionConnection> current_;  // null before the first Connect
    std::mutex observerMutex_;
    ReportObserver observer_;
};

// The library's acquisition, created on first use.
AcquisitionSession& Acquisition();

}  // namespace kordex
