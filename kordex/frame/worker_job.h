// WorkerJob: what every worker job of the library shares -- a calibration
// job, a standard or an auxiliary processing job: the record the caller
// holds, the worker thread, the abort and running words, the one report path
// and the launch / abort / close lifecycle with its time-out and texts.
//
// Ownership: the library owns the job from the start call to the close call;
// the caller sees its record (the public CalibrationJob or ProcessingJob,
// the job's first member). The worker holds the job jointly, so a worker
// left running after the close time-out never writes freed memory. The
// caller's buffer is reached only through `caller`, whose gate the close
// shuts.
//
// Words: the abort word (1 abort requested, -1 a step failed or the error
// limit was reached) and the running word (1 running, -1 after an abort
// request, 0 ended) are the record's plain fields, always read and written
// through JobWord (sequentially consistent atomics).
//
// Reports (worker, band threads, caller's thread): Report() enters the job's
// lock slot (a report that finds the slot closing is dropped), takes the
// report lock (one report at a time; a callback may abort, which re-enters),
// stores kind, code, text and progress in the record, writes the log line
// (kind 0 plain, 1 timed, 2 the error form and a flush; an empty text none)
// and calls the dispatcher: the get-image window's hook first, then the
// caller's callback. Nothing reaches the caller once the close has marked
// the job closed.
//
// Close: waits for the worker (JobKind::closeTimeoutMs), shuts the caller's
// buffer off from it and, after a time-out, tells it to stop (abort word 1,
// running word -1); then the closing report (code 2) with the kind's texts,
// which never touches the slot: it is delivered when the report lock can be
// had within kCallbackGraceMs (a callback still busy cannot hold the close),
// else written to the log only.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "frame/caller_buffer.h"
#include "frame/job_word.h"
#include "frame/library.h"
#include "frame/lock_within.h"
#include "frame/worker_thread.h"
#include "kordex.h"
#include "platform/text.h"

namespace kordex {

// What differs between the kinds of job.
struct JobKind {
    int slot;                         // report slot of LockSlots
    int closeTimeoutMs;               // the close's wait for the worker
    const char* closedText;           // the closing report when the worker ended
    const char* closedByTimeoutText;  // ... and when the wait timed out
    int abortMessage;                 // message number of the abort report
    bool refreshKeepsText;            // a report without text leaves the record's text
};

// Where a record keeps its words.
template <class Record>
struct JobFields;
template <>
struct JobFields<CalibrationJob> {
    static constexpr std::int32_t CalibrationJob::*abort = &CalibrationJob::abortWord;
    static constexpr std::int32_t CalibrationJob::*running = &CalibrationJob::runningWord;
};
template <>
struct JobFields<ProcessingJob> {
    static constexpr std::int32_t ProcessingJob::*abort = &ProcessingJob::abortState;
    static constexpr std::int32_t ProcessingJob::*running = &ProcessingJob::runningState;
};

template <class Record>
class WorkerJob {
public:
    using Dispatch = void (*)(Record* record);  // the window hook, then the callback

    WorkerJob(const JobKind& kind, Dispatch dispatch) : kind_(&kind), dispatch_(dispatch) {}
    WorkerJob(const WorkerJob&) = delete;
    WorkerJob& operator=(const WorkerJob&) = delete;

    Record record{};                       // first member: what the caller holds
    std::unique_ptr<CallerBuffer> caller;  // the caller's buffer, behind the close's gate

    const JobKind& Kind() const { return *kind_; }
    void SetKind(const JobKind& kind) { kind_ = &kind; }

    std::int32_t* AbortWord() { return &(record.*JobFields<Record>::abort); }
    std::int32_t* RunningWord() { return &(record.*JobFields<Record>::running); }
    bool AbortRequested() { return LoadWord(AbortWord()) != 0; }
    // An abort or a close asked the worker to stop (running word -1).
    bool StopRequested() { return LoadWord(RunningWord()) < 0; }
    // The worker's last act: the running word becomes 0.
    void WorkerEnded() { StoreWord(RunningWord(), 0); }

    // One report; progress, when 0 or more, is stored with it.
    void Report(int kind, int code, const std::string& text, int progress = -1)
    {
        if (closed_) return;
        SlotReport slot(Lib().lockSlots, kind_->slot);
        if (slot.Dropped()) return;
        std::lock_guard<std::recursive_mutex> lock(reportMutex_);
        if (closed_) return;
        if (progress >= 0) record.progress = progress;
        Deliver(kind, code, text);
    }

    // Frees the slot and starts body on the worker. Throws std::system_error
    // when no thread can be started (the running word is then 0 again).
    void Launch(std::function<int()> body)
    {
        Lib().lockSlots.SetFree(kind_->slot);
        StoreWord(RunningWord(), 1);
        try {
            worker_ = std::make_unique<WorkerThread>(std::move(body));
        } catch (...) {
            StoreWord(RunningWord(), 0);
            throw;
        }
        record.thread = worker_.get();
    }

    // Abort word 1; while the worker runs, running word -1 and the error
    // report of the kind's abort message (code 1).
    void Abort()
    {
        StoreWord(AbortWord(), 1);
        // The running word is 1 from just before the worker starts until it
        // ends: it tells whether the worker exists (the worker pointer is
        // stored only after the thread has started, and the worker may call
        // back before). Compare-and-swap, so a worker that ends meanwhile
        // keeps its 0.
        if (ExchangeWordIfPositive(RunningWord(), -1))
            Report(KX_REPORT_ERROR, KX_EVENT_ABORTED, Lib().messages.Text(kind_->abortMessage));
    }

    void Close()
    {
        Library& lib = Lib();
        lib.lockSlots.SetClosing(kind_->slot);
        const bool timedOut = worker_->Wait(kind_->closeTimeoutMs) == kWorkerTimedOut;
        if (caller) caller->Shut();
        if (timedOut) {
            // The worker goes on detached until its next check of these words.
            StoreWord(AbortWord(), 1);
            StoreWord(RunningWord(), -1);
        }
        const char* text = timedOut ? kind_->closedByTimeoutText : kind_->closedText;
        closed_ = true;
        if (LockWithin(reportMutex_, kCallbackGraceMs)) {
            Deliver(KX_REPORT_INFO, KX_EVENT_CLOSED, text);
            reportMutex_.unlock();
        } else {
            lib.log.Plain(text);
        }
        lib.lockSlots.SetFree(kind_->slot);
    }

private:
    // Stores the report into the record, logs it and dispatches it. The
    // caller holds the report lock.
    void Deliver(int kind, int code, const std::string& text)
    {
        Library& lib = Lib();
        if (!text.empty() || !kind_->refreshKeepsText)
            platform::CopyTruncated(record.text, sizeof record.text, text);
        if (!text.empty()) {
            if (kind == KX_REPORT_INFO)
                lib.log.Plain(text);
            else if (kind == KX_REPORT_TIMED)
                lib.log.Timed(text);
            else {
                lib.log.Error(text, 0, false);
                lib.log.Flush();
            }
        }
        record.kind = kind;
        record.code = code;
        dispatch_(&record);
    }

    const JobKind* kind_;
    Dispatch dispatch_;
    std::recursive_mutex reportMutex_;
    std::atomic<bool> closed_{false};
    std::unique_ptr<WorkerThread> worker_;
};

}  // namespace kordex
