// The library's acquisition: connect, start, abort, close and the report
// door. See acquisition_session.h for the report rules.
//
// Decisions beyond the device protocol:
// - Close decides whether to save and log the frame once the read-out has
//   ended: only a delivered frame (progress 255) without an error report is
//   written; a frame still being read, or a buffer that never saw a
//   read-out, is not written as if it were an image.
// - A read-out that does not end within the 3000 ms close wait is never
//   killed: it is detached and told to stop, and it keeps the link, its pages
//   and its connection alive (shared ownership) until it ends. The close
//   shuts its connection's frame gate and marks it closed, so from the
//   close's return the read-out touches neither the caller's frame nor the
//   caller.
// - Connect while an acquisition is still open closes that one first, so
//   only one device is ever open and no read-out writes into a record that
//   was cleared under it.
#include "acquisition/acquisition_session.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "acquisition/device_discovery.h"
#include "acquisition/readout.h"
#include "acquisition/sensor_link.h"
#include "acquisition/time_constants.h"
#include "acquisition/vendor_requests.h"
#include "frame/acquired_frame_log.h"
#include "frame/caller_buffer.h"
#include "frame/frame_files.h"
#include "frame/job_word.h"
#include "frame/library.h"
#include "frame/lock_within.h"
#include "frame/worker_thread.h"
#include "platform/paths.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace kordex {
namespace {

constexpr int kSlot = static_cast<int>(Slot::Acquisition);
constexpr int kUnloadWaitMs = 5000;

}  // namespace

struct AcquisitionSession::Readout {
    std::shared_ptr<std::atomic<bool>> stop;
    std::unique_ptr<WorkerThread> thread;
};

AcquisitionSession::AcquisitionSession(Library& library)
    : lib(library), liveReadouts_(std::make_shared<std::atomic<int>>(0))
{
}

AcquisitionSession::~AcquisitionSession()
{
    // Unload: stop every read-out and give it a bounded time to end; the
    // threads use this object, so none may outlive it if at all avoidable.
    for (auto& r : readouts_) r->stop->store(true);
    SetState(1);
    for (auto& r : readouts_) r->thread->Wait(kReadoutCloseWaitMs);
    if (const std::shared_ptr<AcquisitionConnection> c = Current()) {
        c->frame->Shut();
        c->closed.store(true);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kUnloadWaitMs);
    while (liveReadouts_->load() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    readouts_.clear();
    if (link_) link_->Close();
}

std::int32_t AcquisitionSession::State()
{
    return LoadWord(&status_.state);
}

void AcquisitionSession::SetState(std::int32_t state)
{
    StoreWord(&status_.state, state);
}

void AcquisitionSession::SetReportObserver(ReportObserver observer)
{
    std::lock_guard<std::mutex> lock(observerMutex_);
    observer_ = std::move(observer);
}

void AcquisitionSession::Fill(int kind, int event, int stage, std::string_view text)
{
    status_.kind = kind;
    status_.event = event;
    status_.stage = stage;
    status_.value = 0;
    std::string shown(text);
    if (kind >= KX_REPORT_ERROR) {
        shown = lib.log.Error(text, 0);
        SetState(-1);
    } else if (kind == KX_REPORT_TIMED) {
        lib.log.Timed(text);
    } else if (!text.empty()) {
        lib.log.Plain(text);
    }
    platform::CopyTruncated(status_.text, sizeof status_.text, shown);
}

void AcquisitionSession::Deliver()
{
    ReportObserver observer;
    {
        std::lock_guard<std::mutex> lock(observerMutex_);
        observer = observer_;
    }
    if (observer) observer(&status_);
    const KX_Callback callback = status_.callback;
    if (callback != nullptr) callback(&status_);
}

std::shared_ptr<AcquisitionConnection> AcquisitionSession::Current()
{
    std::lock_guard<std::mutex> lock(currentMutex_);
    return current_;
}

void AcquisitionSession::Report(int kind, int event, int stage, std::string_view text)
{
    const std::shared_ptr<AcquisitionConnection> connection = Current();
    if (connection) ReportOn(*connection, kind, event, stage, text);
}

void AcquisitionSession::ReportOn(AcquisitionConnection& connection, int kind, int event, int stage,
                                  std::string_view text, const FrameProgress* progress)
{
    // A report of a closed connection, or one that was still waiting for
    // the slot when a close began, never reaches the caller. The progress
    // still counts while the close waits, so a frame that completes then is
    // known as delivered when the close decides about saving it.
    if (connection.closed.load()) return;
    SlotReport slot(lib.lockSlots, kSlot);
    std::lock_guard<std::recursive_mutex> lock(connection.reportMutex);
    if (connection.closed.load()) return;
    if (progress) {
        status_.lines = progress->lines;
        status_.progress = progress->progress;
    }
    if (slot.Dropped()) return;
    Fill(kind, event, stage, text);
    Deliver();
}

bool AcquisitionSession::SendVendorRequest(SensorLink* link, std::uint8_t request, std::uint16_t value,
                                           std::uint16_t index, AcquisitionConnection* connection)
{
    const std::string text = VendorText(request, value, index);
    const bool ok = link != nullptr && link->IsOpen() && link->VendorRequest(request, value, index);
    auto report = [&](int kind) {
        if (connection)
            ReportOn(*connection, kind, KX_EVENT_MESSAGE, 1, text);
        else
            Report(kind, KX_EVENT_MESSAGE, 1, text);
    };
    if (!ok) {
        report(KX_REPORT_ERROR);
        return false;
    }
    if (lib.settings.debugAcqDump) report(KX_REPORT_INFO);
    return true;
}

bool AcquisitionSession::SetUpResetVoltage(std::int32_t vResetOverride)
{
    const ResetVoltagePlan plan =
        PlanResetVoltage(vResetOverride, lib.settings.vReset, lib.settings.vResetStepBase);
    SensorLink* link = link_.get();
    const bool ok = RunResetVoltageSetUp(plan, [this, link](std::uint8_t r, std::uint16_t v, std::uint16_t i) {
        return SendVendorRequest(link, r, v, i);
    });
    if (ok) Report(KX_REPORT_INFO, KX_EVENT_MESSAGE, 1, ResetVoltageText(plan));
    return ok;
}

AcqStatus* AcquisitionSession::Connect(std::int32_t flags, KX_Callback callback, void* context,
                                       std::int16_t* frame, std::int32_t vResetOverride)
{
    if (link_ || !readouts_.empty()) Close();

    auto connection = std::make_shared<AcquisitionConnection>();
    const int width = lib.settings.geometry.frameWidth, height = lib.settings.geometry.frameHeight;
    connection->frame = std::make_shared<CallerBuffer>(
        frame, static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0)));
    {
        std::lock_guard<std::mutex> lock(currentMutex_);
        if (current_) {
            // An earlier connection that never got its close (its connect
            // failed): nothing of it may reach this one's record.
            current_->frame->Shut();
            current_->closed.store(true);
        }
        current_ = connection;
    }
    std::memset(&status_, 0, sizeof status_);
    status_.flags = flags;
    status_.callback = callback;
    status_.context = context;
    status_.frame = frame;
    status_.width = width;
    status_.height = height;
    pageBlockInUse.store(false);
    lib.lockSlots.SetFree(kSlot);

    const int productId = ProductIdOf(lib.settings.pid);
    link_ = MakeSensorLink(lib.settings, lib.profile.Path(), status_.width, status_.height, &lib.log);
    const DiscoveryResult found = DiscoverAndOpen(*link_, productId);
    if (found.message != 0) {
        std::string text;
        const unsigned pid = static_cast<unsigned>(productId);
        switch (found.message) {
        case kMsgNoDriver: {
            const ClassGuid& g = kSensorClassGuid;
            const unsigned clockSequence = static_cast<unsigned>(g.data4[0] << 8 | g.data4[1]);
            text = FormatMessage(&lib.messages, kMsgNoDriver, static_cast<unsigned>(g.data1), static_cast<unsigned>(g.data2),
                                 static_cast<unsigned>(g.data3), clockSequence);
            break;
        }
        case kMsgNoInterface: text = FormatMessage(&lib.messages, kMsgNoInterface, pid, found.index); break;
        case kMsgWrongInterface: text = FormatMessage(&lib.messages, kMsgWrongInterface, pid, found.index); break;
        default: text = FormatMessage(&lib.messages, kMsgDeviceUsed, found.path.c_str()); break;
        }
        if (!found.why.empty()) lib.log.Plain(found.why);
        Report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, 1, text);
        link_.reset();
        return nullptr;
    }
    Report(KX_REPORT_INFO, KX_EVENT_MESSAGE, 0,
           platform::Format("device PID %X interface %d connection OK", static_cast<unsigned>(productId),
                            found.index));
    if (!SetUpResetVoltage(vResetOverride)) {
        Close();
        return nullptr;
    }
    return &status_;
}

std::int32_t AcquisitionSession::StartFrame(AcqStatus* handle)
{
    if (handle == nullptr || handle != &status_) return 0;
    if (!link_) {
        Report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, 3, "Acquisition is not connected");
        return 0;
    }
    const std::int32_t flags = status_.flags;
    const bool bright = (flags & 1) != 0;
    if (!bright || lib.settings.bright61) {
        SleepScaledMs(kDarkFrameDelayMs);
        const std::uint8_t request = bright ? kRequestStartBright : kRequestStartDark;
        if (!SendVendorRequest(link_.get(), request, 0, 0)) return 0;
    }

    ReadoutJob job;
    job.session = this;
    job.connection = Current();
    job.link = link_;
    job.stop = std::make_shared<std::atomic<bool>>(false);
    job.flags = flags;
    job.width = status_.width;
    job.height = status_.height;
    job.descramble = lib.settings.descramble;
    job.invert = lib.settings.invert != 0;
    job.debugDump = lib.settings.debugAcqDump != 0;
    job.homePath = lib.HomePath();

    auto readout = std::make_unique<Readout>();
    readout->stop = job.stop;
    std::shared_ptr<std::atomic<int>> live = liveReadouts_;
    live->fetch_add(1);
    try {
        readout->thread = std::make_unique<WorkerThread>([job, live]() {
            const int status = RunReadout(job);
            live->fetch_sub(1);
            return status;
        });
    } catch (const std::exception& e) {
        // No thread to be had: the start fails like a refused start request.
        live->fetch_sub(1);
        Report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, 3, platform::Format("Can't start the read-out: %s", e.what()));
        return 0;
    }
    readouts_.push_back(std::move(readout));
    return 1;
}

std::int32_t AcquisitionSession::Abort()
{
    SetState(1);
    Report(KX_REPORT_ERROR, KX_EVENT_ABORTED, 0, lib.messages.Text(kMsgAbortAcquisition));
    return 1;
}

std::int32_t AcquisitionSession::VendorCommand(std::int32_t request, std::int32_t value, std::int32_t index)
{
    return SendVendorRequest(link_.get(), static_cast<std::uint8_t>(request), static_cast<std::uint16_t>(value),
                             static_cast<std::uint16_t>(index))
               ? 1
               : 0;
}

void AcquisitionSession::SaveDeliveredFrame()
{
    const LibrarySettings& s = lib.settings;
    const bool bright = (status_.flags & 1) != 0;
    const std::size_t bytes =
        static_cast<std::size_t>(status_.width) * static_cast<std::size_t>(status_.height) * sizeof(std::int16_t);
    if (s.saveTempAcqFrame) {
        const std::string dir = lib.CalibrationDir();
        platform::MakeDirectory(dir.substr(0, dir.size() - 1));
        WriteRawFrame(lib.log, dir + (bright ? "$a_rawbright.raw" : "$a_rawdark.raw"), status_.frame, bytes, false);
    }
    const int count = bright ? s.logAcqFramesNumBright : s.logAcqFramesNumDark;
    if (count != 0) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        LogAcquiredFrame(lib.log, lib.HomePath(), status_.frame, status_.width, status_.height, bright, count,
                         s.logAcqFramesDownScale, local);
    }
}

void AcquisitionSession::Close()
{
    const std::shared_ptr<AcquisitionConnection> connection = Current();
    lib.lockSlots.SetClosing(kSlot);
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadoutCloseWaitMs);
    for (auto& r : readouts_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (r->thread->Wait(static_cast<int>(std::max<std::int64_t>(left.count(), 0))) == kWorkerTimedOut) {
            timedOut = true;
            r->stop->store(true);  // the detached read-out ends at its next check
        }
    }
    if (connection) connection->frame->Shut();
    // Every read-out has ended unless the wait timed out, so the record's
    // progress and state are final here.
    if (!timedOut && State() != -1 && status_.progress == 255 && status_.frame != nullptr) SaveDeliveredFrame();
    readouts_.clear();
    if (link_ && !timedOut) link_->Close();
    link_.reset();

    const char* text = timedOut ? "WRN: Acquisition closed by timeout" : "Acquisition closed";
    if (!connection) {
        Fill(KX_REPORT_INFO, KX_EVENT_CLOSED, 0, text);
        Deliver();
    } else {
        connection->closed.store(true);
        // The closing report never touches the slot; a callback still busy
        // after the grace time leaves it to the log.
        if (LockWithin(connection->reportMutex, kCallbackGraceMs)) {
            Fill(KX_REPORT_INFO, KX_EVENT_CLOSED, 0, text);
            Deliver();
            connection->reportMutex.unlock();
        } else {
            lib.log.Plain(text);
        }
    }
    lib.lockSlots.SetFree(kSlot);
}

AcquisitionSession& Acquisition()
{
    static std::mutex creation;
    Library& library = Lib();
    std::lock_guard<std::mutex> lock(creation);
    if (!library.acquisition) library.acquisition = std::make_shared<AcquisitionSession>(library);
    return *library.acquisition;
}

}  // namespace kordex
