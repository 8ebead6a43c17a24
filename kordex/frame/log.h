// The library's log: one text file per run of the caller, the same lines in
// the service sheet's log list, and the one error form of the library.
//
// File: "<dir>/Log/<name><NN>.log"; the current run is generation 00 and the
// earlier runs move up one number when the log opens. The first line holds the
// local date and time and the library's file name and four-part version.
//
// Repeat suppression: a line whose first 40 bytes equal those of the line
// before is counted, not written; the count appears as "  <rep N>" before the
// next different line (or when the log closes).
//
// Error form: "ERR: text", with " (code N)" for system codes 1..15 and
// " (code N:XXh)" above 15, followed by the system's text for the code on a
// line of its own.
//
// Every line reaches the file as it is written (the stream is flushed after
// each line), so a process that dies loses none; only a pending repeat count
// waits for the next line.
//
// All functions may be called from any thread; lines of different threads do
// not interleave inside a line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "frame/ui_log_list.h"

namespace kordex {

struct LogVersion {
    std::string fileName;  // the library's file name, no directory
    int major = 0, minor = 0, build = 0, revision = 0;
};

class Log {
public:
    static constexpr std::size_t kRepeatCompareBytes = 40;
    static constexpr int kMaxGenerations = 99;

    explicit Log(UiLogList* uiList = nullptr) : ui_(uiList) {}
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    void SetVersion(LogVersion version);
    // Millisecond clock of the timed prefix (tests replace it).
    void SetTickSource(std::function<std::uint64_t()> ticks);
    // Title of the error boxes.
    void SetBoxTitle(std::string title);

    // Opens "<directory>Log/<name>00.log" after moving generations
    // N-1..0 up by one, making the Log folder and its parents when missing.
    // directory ends in "/". generations <= 0 means 10; above 99 it is 99
    // (a "WRN: " line in the new log says so).
    void Open(const std::string& directory, int generations, const std::string& name);
    void Close();
    void Flush();
    bool IsOpen() const;

    // The line to the UI list and, with toFile, to the file.
    void Plain(std::string_view text, bool toFile = true);
    // Plain with the time prefix: the local clock "hh:mm:ss text" while no log
    // is open and for the first timed line after opening (which starts the
    // clock); then "(S.s/D.ds) text" with the seconds since that first line
    // and since the previous timed line.
    void Timed(std::string_view text, bool toFile = true);
    // Writes the error form and returns it ("ERR: ..." plus "\r\n" and the
    // system text when there is one). showBox also shows it in an error box.
    std::string Error(std::string_view text, int code, bool showBox = false);
    // The file only, no prefix (the export KX_LogMsg).
    void File(std::string_view text);
    // A line of something found before any log could be open (a setting
    // refused while the library loads): on standard error and the UI list at
    // once, and in the first log that opens, right after its first line.
    void Early(std::string_view text);

    // "ERR: text" with the code suffix, without the system text.
    static std::string ErrorLine(std::string_view text, int code);

    // The path of the open log file (empty when none).
    std::string FilePath() const;

private:
    void WriteLocked(std::string_view line);
    void FlushRepeatsLocked();
    std::uint64_t Now() const;

    mutable std::mutex mutex_;
    UiLogList* ui_ = nullptr;
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string lastLine_;  // first 40 bytes of the last line written
    std::vector<std::string> early_;  // Early lines not yet in a log file
    int repeats_ = 0;
    bool timedStarted_ = false;
    std::uint64_t timedStart_ = 0;
    std::uint64_t timedPrevious_ = 0;
    LogVersion version_;
    std::string boxTitle_ = "IntraOral Detector";
    std::function<std::uint64_t()> ticks_;
};

}  // namespace kordex
