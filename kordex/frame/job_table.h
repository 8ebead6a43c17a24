// JobTable: the jobs a start export has handed out and its close has not yet
// taken back, keyed by the record the caller holds, with the three doors the
// job exports share. An abort or a close with a pointer that is not (or no
// longer) a job is ignored instead of touching unknown memory.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "frame/library.h"
#include "platform/text.h"

namespace kordex {

template <class Run>
class JobTable {
public:
    using Record = decltype(std::declval<Run&>().record);

    std::shared_ptr<Run> Find(const Record* record)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = runs_.find(record);
        return it == runs_.end() ? nullptr : it->second;
    }
    void Remember(const std::shared_ptr<Run>& run)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runs_[&run->record] = run;
    }
    void Forget(const Record* record)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runs_.erase(record);
    }

    // The start: prepare() makes the run, which is known before its worker
    // starts (its first callback may already abort); launch(run) starts it.
    // A run that cannot be started is forgotten and "Can't start <what>:
    // <reason>" logged; the export then returns null.
    template <class Prepare, class Launch>
    Record* Start(const char* what, Prepare prepare, Launch launch)
    {
        std::shared_ptr<Run> run;
        try {
            run = prepare();
            if (!run) return nullptr;
            Remember(run);
            launch(run);
            return &run->record;
        } catch (const std::exception& e) {
            if (run) Forget(&run->record);
            Lib().log.Error(platform::Format("Can't start %s: %s", what, e.what()), 0, false);
            return nullptr;
        }
    }

    // The abort export: 0 for null or an unknown record, else 1.
    std::int32_t Abort(Record* record)
    {
        if (record == nullptr) return 0;
        const std::shared_ptr<Run> run = Find(record);
        if (!run) return 0;
        run->Abort();
        return 1;
    }

    // The close export: closes a known job and forgets it.
    void Close(Record* record)
    {
        if (record == nullptr) return;
        const std::shared_ptr<Run> run = Find(record);
        if (!run) return;
        run->Close();
        Forget(record);
    }

private:
    std::mutex mutex_;
    std::map<const Record*, std::shared_ptr<Run>> runs_;
};

}  // namespace kordex
