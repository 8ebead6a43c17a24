// Text helpers: bounded copies, formatting into std::string, comparisons
// without regard to case, and the argument signature of a printf format.
//
// The signature lets a caller accept a replacement text (read from a settings
// file) for one of its built-in format texts only when both consume the same
// arguments in the same order; anything it cannot classify with certainty --
// %n, positional arguments, unknown or unusual length modifiers, wide
// characters -- makes the whole signature "!", which never equals the
// signature of a usable format.
#include "platform/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

constexpr char kRejected[] = "!";

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

enum class Length { None, hh, h, l, ll, L, z, j, t };

// The letter of an integer conversion by its width: letters[0] for int (and
// the narrower hh, h), letters[1] for long, letters[2] for the 64-bit kinds.
char IntegerLetter(Length length, const char* letters)
{
    switch (length) {
    case Length::None:
    case Length::hh:
    case Length::h:
        return letters[0];
    case Length::l:
        return letters[1];
    case Length::ll:
    case Length::z:
    case Length::j:
    case Length::t:
        return letters[2];
    case Length::L:
        return 0;
    }
    return 0;
}

// The letter of one conversion, or 0 when the combination is not accepted.
char ConversionLetter(char conversion, Length length)
{
    switch (conversion) {
    case 'd':
    case 'i':
        return IntegerLetter(length, "ilL");
    case 'o':
    case 'u':
    case 'x':
    case 'X':
        return IntegerLetter(length, "umM");
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        // "%lf" is the same as "%f"; other modifiers do not apply to reals.
        if (length == Length::None || length == Length::l)
            return 'f';
        return length == Length::L ? 'F' : 0;
    case 'c':
        // "%lc" and "%ls" take wide characters: never interchangeable.
        return length == Length::None ? 'c' : 0;
    case 's':
        return length == Length::None ? 's' : 0;
    case 'p':
        return length == Length::None ? 'p' : 0;
    default:
        return 0;  // includes 'n'
    }
}

}  // namespace

std::size_t CopyTruncated(char* dst, std::size_t capacity, std::string_view text)
{
    if (dst == nullptr || capacity == 0)
        return 0;
    const std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    if (n > 0)
        std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
    return n;
}

std::string Truncated(std::string_view text, std::size_t capacity)
{
    return std::string(text.substr(0, capacity));
}

std::string Format(const char* format, ...)
{
    if (format == nullptr)
        return {};
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string result;
    if (needed > 0) {
        result.resize(static_cast<std::size_t>(needed));
        std::vsnprintf(result.data(), result.size() + 1, format, args);
    }
    va_end(args);
    return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool LessNoCase(std::string_view a, std::string_view b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(LowerAscii(b[i]));
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

std::string_view Trim(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// Skips the digits of a field width or precision at i; false when their
// number exceeds kMaxFieldWidth (a text could otherwise make every report
// write gigabytes).
static bool SkipBoundedNumber(std::string_view format, std::size_t& i)
{
    long value = 0;
    for (; i < format.size() && IsDigit(format[i]); ++i) {
        value = value * 10 + (format[i] - '0');
        if (value > kMaxFieldWidth) return false;
    }
    return true;
}

std::string FormatSignature(std::string_view format)
{
    std::string signature;
    std::size_t i = 0;
    const std::size_t n = format.size();
    while (i < n) {
        if (format[i] != '%') {
            ++i;
            continue;
        }
        ++i;
        if (i < n && format[i] == '%') {
            ++i;
            continue;
        }
        // Flags.
        while (i < n && std::strchr("-+ #0'", format[i]) != nullptr && format[i] != '\0')
            ++i;
        // Width: '*' or digits (digits followed by '$' would be a positional
        // argument, which is refused).
        if (i < n && format[i] == '*') {
            signature += '*';
            ++i;
        } else if (!SkipBoundedNumber(format, i)) {
            return kRejected;
        }
        if (i < n && format[i] == '$')
            return kRejected;
        // Precision.
        if (i < n && format[i] == '.') {
            ++i;
            if (i < n && format[i] == '*') {
                signature += '*';
                ++i;
            } else if (!SkipBoundedNumber(format, i)) {
                return kRejected;
            }
            if (i < n && format[i] == '$')
                return kRejected;
        }
        // Length modifier.
        Length length = Length::None;
        if (i < n) {
            switch (format[i]) {
            case 'h':
                ++i;
                if (i < n && format[i] == 'h') {
                    ++i;
                    length = Length::hh;
                } else {
                    length = Length::h;
                }
                break;
            case 'l':
                ++i;
                if (i < n && format[i] == 'l') {
                    ++i;
                    length = Length::ll;
                } else {
                    length = Length::l;
                }
                break;
            case 'q':
                ++i;
                length = Length::ll;
                break;
            case 'L':
                ++i;
                length = Length::L;
                break;
            case 'z':
                ++i;
                length = Length::z;
                break;
            case 'j':
                ++i;
                length = Length::j;
                break;
            case 't':
                ++i;
                length = Length::t;
                break;
            default:
                break;
            }
        }
        if (i >= n)
            return kRejected;  // unterminated conversion
        const char letter = ConversionLetter(format[i], length);
        if (letter == 0)
            return kRejected;
        signature += letter;
        ++i;
    }
    return signature;
}

}  // namespace platform
