// System error texts and the millisecond tick count.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The system's text for an errno value (strerror), at most 79 characters,
// trailing characters below '!' (blanks, line ends) cut. Empty for 0.
std::string SystemErrorText(int code);

// Milliseconds of a steady clock (never goes back).
std::uint64_t TickCountMs();

}  // namespace platform
