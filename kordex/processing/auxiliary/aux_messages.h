// The numbered messages of auxiliary processing (330..333).
#pragma once

#include <string>

#include "frame/message_table.h"

namespace kordex::auxiliary {

inline constexpr int kMsgAuxMissing = 330;        // "Aux IP [%s] does not exist"
inline constexpr int kMsgAuxFault = 331;          // "Aux IP internal fault"
inline constexpr int kMsgAuxCantLoad = 332;       // "Aux IP can't load %s"
inline constexpr int kMsgAuxNoProcedure = 333;    // "Aux IP can't find procedure %s in the DLL"

// The text of code, from messages (the site's override when it is
// compatible) or the built-in table when messages is null, with its one %s
// filled with text (for 331, which has none, the text is ignored).
std::string AuxMessage(MessageTable* messages, int code, const std::string& text = "");

}  // namespace kordex::auxiliary
