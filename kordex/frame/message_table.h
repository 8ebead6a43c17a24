// The numbered message table: every text the user sees, replaceable per site
// in the settings section [User Interface] under the key "msg%2.2d" of its
// code.
//
// When the library loads, a background thread writes every built-in text
// whose key is missing into [User Interface], so the file lists every message
// for translation. MessageText waits for that thread at most 1000 ms.
//
// An override is used only when it takes the same printf arguments as the
// built-in text (same conversions in the same order); otherwise the built-in
// text is used and a "WRN: " line is logged, so a settings file can never make
// the library read arguments it did not pass.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/profile_file.h"

namespace kordex {

inline constexpr const char* kUserInterfaceSection = "User Interface";

// The built-in text of a code, or null when the table has no such code.
const char* BuiltInMessage(int code);

class MessageTable {
public:
    using WarningSink = std::function<void(const std::string&)>;

    MessageTable() = default;
    ~MessageTable();
    MessageTable(const MessageTable&) = delete;
    MessageTable& operator=(const MessageTable&) = delete;

    // Starts the thread that writes missing keys into the file of profile
    // (a copy of the library's accessor; the thread keeps its own).
    void Start(const platform::ProfileFile& profile, WarningSink warn);
    // Waits for the thread without limit (library unload).
    void Join();

    // The text of code: the [User Interface] override when it is compatible,
    // else the built-in text; "Internal Err code %d" for an unknown code.
    std::string Text(int code);

private:
    void WaitReady(int timeoutMs);

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable ready_;
    bool done_ = true;
    platform::ProfileFile reader_;
    WarningSink warn_;
};

}  // namespace kordex
