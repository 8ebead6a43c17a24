// System error texts (strerror_r) and the steady millisecond tick count.
#include "platform/system_error.h"

#include <chrono>
#include <cstring>

namespace platform {

namespace {

// strerror_r comes in two flavours: the GNU one returns the text, the POSIX
// one fills the buffer and returns a status. These overloads accept either.
[[maybe_unused]] const char* ErrorTextOf(const char* result, const char* /*buffer*/)
{
    return result;
}

[[maybe_unused]] const char* ErrorTextOf(int result, const char* buffer)
{
    return result == 0 ? buffer : "";
}

constexpr std::size_t kMaxErrorText = 79;

}  // namespace

std::string SystemErrorText(int code)
{
    if (code == 0)
        return {};
    char buffer[256] = {};
    const char* text = ErrorTextOf(strerror_r(code, buffer, sizeof buffer), buffer);
    std::string result = text != nullptr ? std::string(text) : std::string();
    if (result.size() > kMaxErrorText)
        result.resize(kMaxErrorText);
    while (!result.empty() && static_cast<unsigned char>(result.back()) < '!')
        result.pop_back();
    return result;
}

std::uint64_t TickCountMs()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace platform
