// Formatting a numbered message. The format comes from the message table
// at run time; the table has already checked its placeholders.
#include "acquisition/message_format.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "frame/message_table.h"

namespace kordex {

std::string FormatMessage(MessageTable& messages, int code, ...)
{
    const std::string format = messages.Text(code);
    va_list args;
    va_start(args, code);
    va_list copy;
    va_copy(copy, args);
    // The table checked the placeholders against the built-in text.
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

}  // namespace kordex
