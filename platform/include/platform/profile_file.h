// ProfileFile: the INI-style settings file accessor with a current section.
//
// Behaves like the classic private-profile functions:
//  - section and key names compare without regard to case; blanks around
//    names and values are trimmed; the first matching section and key win;
//  - a write replaces the value in place and keeps every other line, comment
//    and section exactly as it was; a missing key is appended at the end of its
//    section, a missing section at the end of the file; the file is created
//    when needed (a write goes to a temporary file that replaces the original,
//    so a concurrent reader sees either the old or the new file);
//  - a missing or unreadable file is not an error: every read yields its default.
//
// Value encoding:
//  - integers are written "%d" and read with base-10 conversion (leading blanks
//    and a sign allowed, conversion stops at the first non-digit, the result is
//    clamped to the int range);
//  - reals are written "%f" and read with strtod;
//  - strings are read into at most kValueCapacity - 1 characters. A value that
//    begins with a backslash has that one backslash removed, so a lone
//    backslash reads as an empty string and "\  x" keeps its leading blanks.
//    Writing an empty string stores a lone backslash; writing a value that
//    begins with a blank or a backslash prefixes one backslash, so every
//    written string reads back unchanged.
//
// Thread safety: one accessor belongs to one thread. Writes to the same file
// from several accessors in one process are serialised internally.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ProfileFile {
public:
    static constexpr std::size_t kSectionCapacity = 255;
    static constexpr std::size_t kValueCapacity = 512;

    ProfileFile() = default;
    explicit ProfileFile(std::string_view path);

    // The file path.
    void SetPath(std::string_view path);
    const std::string& Path() const { return path_; }

    // The current section (cut to kSectionCapacity characters).
    void SetSection(std::string_view section);
    const std::string& Section() const { return section_; }

    // 1 when the key of the last read existed, else 0.
    bool Found() const { return found_; }

    // Reads a string from the current section. A missing key yields the
    // default text, or the key name itself when defaultText is null.
    std::string ReadString(std::string_view key, const char* defaultText);

    // Like ReadString; a missing key is also written with the default (a lone
    // backslash when the default is empty).
    std::string ReadStringWriteBack(std::string_view key, const char* defaultText);

    int ReadInt(std::string_view key, int defaultValue);
    double ReadReal(std::string_view key, double defaultValue);

    // Writes into the current section. Return false when the file could not
    // be written (callers of the settings file ignore that).
    bool WriteString(std::string_view key, std::string_view text);
    bool WriteInt(std::string_view key, int value);
    bool WriteReal(std::string_view key, double value);

    // The lines between the header of the named section and the next header,
    // exactly as stored (each ending in '\n'); nullopt when the section does
    // not exist.
    std::optional<std::string> ReadSectionText(std::string_view section) const;

    // Replaces the body of the named section with text (lines separated by
    // '\n'; a missing final newline is added). A missing section is appended.
    bool WriteSectionText(std::string_view section, std::string_view text);

    // Removes the named section, header and body. True when it existed and the
    // file was rewritten.
    bool DeleteSection(std::string_view section);

    // All section names in file order.
    std::vector<std::string> SectionNames() const;

private:
    std::optional<std::string> Lookup(std::string_view key) const;

    std::string path_;
    std::string section_;
    bool found_ = false;
};

}  // namespace platform
