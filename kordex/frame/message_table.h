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

// The message numbers, named by what they say.
enum MessageCode : int {
    kMsgAcquisition = 1,
    kMsgCalibration = 2,
    kMsgImgProcess = 3,
    kMsgDeviceInitialization = 20,
    kMsgWaitingForDark = 21,
    kMsgPressTheShotButton = 22,
    kMsgImageCapturing = 23,
    kMsgOptimizing = 24,
    kMsgCancelQuestion = 25,
    kMsgNoDriver = 101,          // "Can't request class %x-%x-%x-%x (no driver installed)"
    kMsgNoInterface = 102,       // "PID%4x no interface #%d (check connection)"
    kMsgWrongInterface = 103,    // "PID%4x wrong interface #%d (check USB-drivers)"
    kMsgDeviceUsed = 104,        // "Can't create file %s (device is used)"
    kMsgReadTimeout = 105,       // "Time-out in read-out operation"
    kMsgPrematureEof = 106,      // "Premature EOF"
    kMsgParsingCode = 107,       // "Transport stream parsing code #%d"
    kMsgAbortAcquisition = 150,
    kMsgDarkFrameLoad = 201,     // "OfsCal can't load dark frame"
    kMsgGainPointLoad = 202,     // "GainCal can't load calibration point"
    kMsgAutoMapLoad = 211,       // "BadPixMap can't load automatic map"
    kMsgManualMapLoad = 212,     // "BadPixMap can't load manual map"
    kMsgAbortCalibration = 250,
    kMsgWrongRemap = 301,        // "Wrong re-map parameters"
    kMsgWrongStep = 302,         // "Wrong parameters of the step"
    kMsgAuxMissing = 330,        // "Aux IP [%s] does not exist"
    kMsgAuxFault = 331,          // "Aux IP internal fault"
    kMsgAuxCantLoad = 332,       // "Aux IP can't load %s"
    kMsgAuxNoProcedure = 333,    // "Aux IP can't find procedure %s in the DLL"
    kMsgAbortIp = 350,
};

// The built-in text of a code, or null when the table has no such code.
const char* BuiltInMessage(int code);

class MessageTable;

// The text of code from table (the site's override when it is compatible),
// or the built-in text when table is null; "" for an unknown code without a
// table. The one way every part of the library gets a numbered text.
std::string MessageText(MessageTable* table, int code);

// MessageText formatted with the arguments the built-in text expects. The
// table hands out only an override whose placeholders equal the built-in
// text's, so the arguments given here always match the format.
std::string FormatMessage(MessageTable* table, int code, ...);

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
