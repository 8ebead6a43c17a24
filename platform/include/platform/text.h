// Text helpers for fixed-capacity strings and safe formatting.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Copies at most capacity - 1 characters of text into dst and terminates it.
// Nothing is written when dst is null or capacity is 0. Returns the length
// copied.
std::size_t CopyTruncated(char* dst, std::size_t capacity, std::string_view text);

// text cut to at most capacity characters.
std::string Truncated(std::string_view text, std::size_t capacity);

// printf-style formatting into a std::string of any length. The format must be
// a literal of the program, never a text read from outside.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Equality and ordering without regard to ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool LessNoCase(std::string_view a, std::string_view b);

// text without blanks, tabs and line ends at both ends.
std::string_view Trim(std::string_view text);

// The sequence of printf arguments a format consumes, one letter per argument
// ('i' int, 'l' long, 'L' long long, 'u' unsigned kinds, 'f' double, 'F' long
// double, 's' string, 'c' char, 'p' pointer, '*' a star width/precision);
// "%%" consumes none. std::nullopt-like "!" is returned for formats that hold
// %n or a malformed conversion, so such a text is never used as a format.
// A field width or precision above kMaxFieldWidth is refused ("!") too.
std::string FormatSignature(std::string_view format);
inline constexpr int kMaxFieldWidth = 255;

}  // namespace platform
