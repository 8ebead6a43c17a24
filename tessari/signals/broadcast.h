// Broadcast messages as a D-Bus signal on the session bus.
//
// A broadcast is the signal Message(string name, int32 first, int32 second)
// of the interface org.kordex.Broadcast on the path /org/kordex/Broadcast,
// sent to everyone on the bus; listening for a name is the same as receiving
// the registered window message of that name.
#pragma once

#include <functional>
#include <string>

namespace tessari {

inline constexpr const char* kBroadcastPath = "/org/kordex/Broadcast";
inline constexpr const char* kBroadcastInterface = "org.kordex.Broadcast";
inline constexpr const char* kBroadcastMember = "Message";

// Sends the signal. False (with *error) when there is no session bus or the
// send fails.
bool SendBroadcast(const std::string& name, int first, int second, std::string* error);

}  // namespace tessari
