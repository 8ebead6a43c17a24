// StageContext: what every stage of the standard processing chain works on --
// the image, the run's parameter copy, its settings, its abort word and its
// report and dump paths -- so the stages are tested without a job around
// them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "frame/job_word.h"
#include "frame/message_table.h"
#include "frame/settings.h"
#include "kordex.h"
#include "processing/ip_params.h"

namespace kordex {

struct StageContext {
    std::int16_t* image = nullptr;  // width x height, the run's copy, changed in place
    int width = 0;
    int height = 0;
    int threads = 1;                      // NumParallelThreads
    std::int32_t* abortState = nullptr;   // the run's abort state; never null
    IpParams* params = nullptr;           // the run's copy; stages may change run-time fields
    const LibrarySettings* settings = nullptr;
    MessageTable* messages = nullptr;     // the numbered texts; may be null (built-in texts)
    // One report (kind KX_REPORT_*, code KX_EVENT_*); called on the worker
    // thread. May be empty.
    std::function<void(int kind, int code, const std::string& text)> report;
    // The "$i<name>.raw" dump of a width x height buffer; called only when
    // dumps are on. May be empty.
    std::function<void(const std::string& name, const std::int16_t* buffer)> dump;

    std::size_t Pixels() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
    bool Aborted() const { return LoadWord(abortState) != 0; }
    void Log(const std::string& text) const { if (report) report(KX_REPORT_INFO, KX_EVENT_MESSAGE, text); }
    void Stage(const std::string& text) const { if (report) report(KX_REPORT_TIMED, KX_EVENT_MESSAGE, text); }
    void Error(const std::string& text) const { if (report) report(KX_REPORT_ERROR, KX_EVENT_ERROR, text); }
    void Dump(const std::string& name, const std::int16_t* buffer) const { if (dump) dump(name, buffer); }
};

// near(x) limited to the int range (a NaN gives 0): for values that
// parameters from the settings file can push out of range.
inline int NearClamped(double x)
{
    if (!(x == x)) return 0;
    if (x >= 2147483647.0) return 2147483647;
    if (x <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(x + 0.49999);
}

// The row loop of a stage's pixel pass: body(y) for every row of the band,
// stopping after the row on which an abort is seen. Runs on ParallelRows.
void ForRows(const StageContext& ctx, int firstRow, int lastRow, const std::function<void(int y)>& body);

}  // namespace kordex
