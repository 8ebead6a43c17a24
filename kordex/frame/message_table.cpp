// Message table and its start-up thread.
#include "frame/message_table.h"

#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <vector>

#include "platform/text.h"

namespace kordex {
namespace {

struct Message {
    int code;
    const char* text;
};

constexpr Message kMessages[] = {
    {0, "Acquiring dark frame"},
    {1, "Acquiring bright frame"},
    {2, "Calibration"},
    {3, "Img process"},
    {20, "Device Initialization"},
    {21, "Waiting for dark frame"},
    {22, "Press the X-ray [shot] button"},
    {23, "Image capturing. Please wait for a while"},
    {24, "Optimizing captured image"},
    {25, "Do you want to cancel?"},
    {101, "Can't request class %x-%x-%x-%x (no driver installed)"},
    {102, "PID%4x no interface #%d (check connection)"},
    {103, "PID%4x wrong interface #%d (check USB-drivers)"},
    {104, "Can't create file %s (device is used)"},
    {105, "Time-out in read-out operation"},
    {106, "Premature EOF"},
    {107, "Transport stream parsing code #%d"},
    {150, "Abort acquisition"},
    {201, "OfsCal can't load dark frame"},
    {202, "GainCal can't load calibration point"},
    {211, "BadPixMap can't load automatic map"},
    {212, "BadPixMap can't load manual map"},
    {250, "Abort calibration"},
    {301, "Wrong re-map parameters"},
    {302, "Wrong parameters of the step"},
    {330, "Aux IP [%s] does not exist"},
    {331, "Aux IP internal fault"},
    {332, "Aux IP can't load %s"},
    {333, "Aux IP can't find procedure %s in the DLL"},
    {350, "Abort IP"},
};

constexpr int kHighestCode = 999;
constexpr int kStartUpWaitMs = 1000;

std::string KeyOf(int code)
{
    return platform::Format("msg%2.2d", code);
}

}  // namespace

std::string MessageText(MessageTable* table, int code)
{
    if (table) return table->Text(code);
    const char* text = BuiltInMessage(code);
    return text ? text : "";
}

std::string FormatMessage(MessageTable* table, int code, ...)
{
    const std::string format = MessageText(table, code);
    va_list args;
    va_start(args, code);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format.c_str(), copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format.c_str(), args);
        text.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(args);
    return text;
}

const char* BuiltInMessage(int code)
{
    for (const Message& m : kMessages)
        if (m.code == code) return m.text;
    return nullptr;
}

MessageTable::~MessageTable()
{
    Join();
}

void MessageTable::Start(const platform::ProfileFile& profile, WarningSink warn)
{
    Join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reader_ = profile;
        reader_.SetSection(kUserInterfaceSection);
        warn_ = std::move(warn);
        done_ = false;
    }
    platform::ProfileFile own = profile;
    thread_ = std::thread([this, own]() mutable {
        own.SetSection(kUserInterfaceSection);
        for (int code = 0; code <= kHighestCode; ++code) {
            const char* text = BuiltInMessage(code);
            if (!text) continue;
            own.ReadString(KeyOf(code), text);
            if (!own.Found()) own.WriteString(KeyOf(code), text);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        ready_.notify_all();
    });
}

void MessageTable::Join()
{
    if (thread_.joinable()) thread_.join();
}

void MessageTable::WaitReady(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return done_; });
}

std::string MessageTable::Text(int code)
{
    const char* builtIn = BuiltInMessage(code);
    if (!builtIn) return platform::Format("Internal Err code %d", code);
    // A thread still writing after the wait goes on by itself: the file is
    // replaced atomically, so reading it meanwhile is safe.
    WaitReady(kStartUpWaitMs);

    std::string text;
    WarningSink warn;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        text = reader_.ReadString(KeyOf(code), builtIn);
        warn = warn_;
    }
    if (text == builtIn) return text;
    if (platform::FormatSignature(text) != platform::FormatSignature(builtIn)) {
        if (warn)
            warn(platform::Format("WRN: [%s] %s ignored: its placeholders differ from \"%s\"",
                                  kUserInterfaceSection, KeyOf(code).c_str(), builtIn));
        return builtIn;
    }
    return text;
}

}  // namespace kordex
