// Auxiliary messages. The format comes from the message table, which only
// hands out a site's override whose placeholders equal the built-in text's
// (here one %s, or none), so the argument always matches the format.
#include "processing/auxiliary/aux_messages.h"

#include <cstdio>
#include <vector>

namespace kordex::auxiliary {

std::string AuxMessage(MessageTable* messages, int code, const std::string& text)
{
    const char* builtIn = BuiltInMessage(code);
    const std::string format = messages ? messages->Text(code) : std::string(builtIn ? builtIn : "");
    const int length = std::snprintf(nullptr, 0, format.c_str(), text.c_str());
    if (length <= 0) return std::string();
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), format.c_str(), text.c_str());
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace kordex::auxiliary
