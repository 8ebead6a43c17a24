// Log file, repeat suppression, timed prefix and the error form.
#include "frame/log.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace kordex {
namespace {

std::string GenerationPath(const std::string& logDir, const std::string& name, int generation)
{
    return platform::Format("%s%s%2.2d.%s", logDir.c_str(), name.c_str(), generation, "log");
}

std::tm LocalNow()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string_view Head(std::string_view line)
{
    return line.substr(0, Log::kRepeatCompareBytes);
}

}  // namespace

Log::~Log()
{
    Close();
}

void Log::SetVersion(LogVersion version)
{
    std::lock_guard<std::mutex> lock(mutex_);
    version_ = std::move(version);
}

void Log::SetTickSource(std::function<std::uint64_t()> ticks)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ticks_ = std::move(ticks);
}

void Log::SetBoxTitle(std::string title)
{
    std::lock_guard<std::mutex> lock(mutex_);
    boxTitle_ = std::move(title);
}

std::uint64_t Log::Now() const
{
    return ticks_ ? ticks_() : platform::TickCountMs();
}

void Log::Open(const std::string& directory, int generations, const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) {
        WriteLocked(platform::Format("ERR: Nested call to LogOpen(%s) ignored", name.c_str()));
        return;
    }
    if (generations <= 0) generations = 10;
    const int asked = generations;
    generations = std::min(generations, kMaxGenerations);
    const std::string logDir = platform::WithTrailingSlash(directory) + "Log/";
    platform::MakeDirectories(platform::WithTrailingSlash(directory) + "Log");
    for (int k = generations - 1; k >= 0; --k) {
        const std::string from = GenerationPath(logDir, name, k);
        if (!platform::FileExists(from)) continue;
        const std::string to = GenerationPath(logDir, name, k + 1);
        if (platform::FileExists(to)) platform::RemoveFile(to);
        platform::MoveFile(from, to);
    }
    path_ = GenerationPath(logDir, name, 0);
    file_ = std::fopen(path_.c_str(), "w");
    repeats_ = 0;
    lastLine_.clear();
    timedStarted_ = false;
    if (!file_) {
        path_.clear();
        return;
    }
    const std::tm t = LocalNow();
    std::string first = platform::Format("%d-%2.2d-%2.2d %2.2d:%2.2d:%2.2d", t.tm_year + 1900,
                                         t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    if (!version_.fileName.empty())
        first += platform::Format(" %s ver %d.%d.%d.%d", version_.fileName.c_str(), version_.major,
                                  version_.minor, version_.build, version_.revision);
    std::fputs(first.c_str(), file_);
    std::fputc('\n', file_);
    for (const std::string& line : early_) WriteLocked(line);
    early_.clear();
    if (asked > kMaxGenerations)
        WriteLocked(platform::Format("WRN: %d log generations asked, %d kept", asked, kMaxGenerations));
    std::fflush(file_);
}

void Log::FlushRepeatsLocked()
{
    if (file_ && repeats_ > 0) {
        std::fprintf(file_, "  <rep %d>\n", repeats_);
        std::fflush(file_);
    }
    repeats_ = 0;
}

void Log::Close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) return;
    FlushRepeatsLocked();
    std::fclose(file_);
    file_ = nullptr;
    path_.clear();
}

void Log::Flush()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) std::fflush(file_);
}

bool Log::IsOpen() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return file_ != nullptr;
}

std::string Log::FilePath() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

void Log::WriteLocked(std::string_view line)
{
    if (!file_) return;
    if (Head(line) == lastLine_) {
        ++repeats_;
        return;
    }
    FlushRepeatsLocked();
    lastLine_ = std::string(Head(line));
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

void Log::Plain(std::string_view text, bool toFile)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (ui_) ui_->Add(std::string(text));
    if (toFile) WriteLocked(text);
}

void Log::Timed(std::string_view text, bool toFile)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::string line;
    if (!file_ || !timedStarted_) {
        const std::tm t = LocalNow();
        line = platform::Format("%2.2d:%2.2d:%2.2d %.*s", t.tm_hour, t.tm_min, t.tm_sec,
                                static_cast<int>(text.size()), text.data());
        if (file_) {
            timedStarted_ = true;
            timedStart_ = timedPrevious_ = Now();
        }
    } else {
        const std::uint64_t now = Now();
        line = platform::Format("(%.1f/%.1fs) %.*s", (now - timedStart_) / 1000.0,
                                (now - timedPrevious_) / 1000.0, static_cast<int>(text.size()),
                                text.data());
        timedPrevious_ = now;
    }
    if (ui_) ui_->Add(line);
    if (toFile) WriteLocked(line);
}

std::string Log::ErrorLine(std::string_view text, int code)
{
    const int n = static_cast<int>(text.size());
    if (code > 15)
        return platform::Format("ERR: %.*s (code %d:%Xh)", n, text.data(), code,
                                static_cast<unsigned>(code));
    if (code != 0) return platform::Format("ERR: %.*s (code %d)", n, text.data(), code);
    return platform::Format("ERR: %.*s", n, text.data());
}

std::string Log::Error(std::string_view text, int code, bool showBox)
{
    const std::string line = ErrorLine(text, code);
    const std::string systemText = code > 0 ? platform::SystemErrorText(code) : std::string();
    std::string combined = line;
    std::string title;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ui_) ui_->Add(line);
        WriteLocked(line);
        if (!systemText.empty()) {
            if (ui_) ui_->Add(systemText);
            WriteLocked(systemText);
            combined += "\r\n" + systemText;
        }
        title = boxTitle_;
    }
    if (showBox) platform::ShowErrorBox(title, combined, nullptr, true);  // its lines are in the log already
    return combined;
}

void Log::File(std::string_view text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    WriteLocked(text);
}

void Log::Early(std::string_view text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    if (ui_) ui_->Add(std::string(text));
    if (file_)
        WriteLocked(text);
    else
        early_.emplace_back(text);
}

}  // namespace kordex
