// Formatting a numbered message that carries placeholders (101 to 104, 107).
//
// The text comes from the message table, which may hold a site's own
// translation; the table only returns an override whose placeholders equal
// the built-in text's, so the arguments given here always match the format.
#pragma once

#include <string>

namespace kordex {

class MessageTable;

// The text of code formatted with the arguments the built-in text expects.
std::string FormatMessage(MessageTable& messages, int code, ...);

}  // namespace kordex
