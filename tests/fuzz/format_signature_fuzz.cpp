// Fuzzes the placeholder check of message overrides: whatever text a
// settings file holds, an accepted override must take exactly the arguments
// of the built-in text, so formatting it with them is safe.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find('\0') != std::string::npos) return 0;
    const std::string signature = platform::FormatSignature(text);
    char buffer[256];
    if (signature == platform::FormatSignature("Aux IP can't load %s")) {
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
        std::snprintf(buffer, sizeof buffer, text.c_str(), "libcalpost.so");
    } else if (signature == platform::FormatSignature("PID%4x no interface #%d (check connection)")) {
        std::snprintf(buffer, sizeof buffer, text.c_str(), 0x2001u, 3);
    }
    return 0;
}
