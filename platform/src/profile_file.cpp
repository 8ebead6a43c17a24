// ProfileFile: the INI-style settings file, read and written like the classic
// private-profile functions.
//
// Every read parses the file afresh, so a value written by another accessor
// or another process is seen at once. A write reads the whole file, changes
// the lines concerned in memory and writes the result to a temporary file in
// the same directory that then replaces the original by rename: a reader sees
// the old file or the new one, never a half-written one. Every line the write
// does not concern -- comments, blank lines, lines without '=', other keys and
// sections, the file's line ends -- is written back byte for byte.
//
// Numbers are written and read in the "C" locale whatever the process locale
// is (a user interface may have switched it), so "%f" always writes a point
// and the file reads the same on every machine.
#include "platform/profile_file.h"

#include "platform/paths.h"
#include "platform/raw_file.h"
#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Serialises the read-modify-write of every accessor of the process.
std::mutex& WriteMutex()
{
    static std::mutex mutex;
    return mutex;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// ---------------------------------------------------------------------------
// The file as lines

struct Line {
    std::string text;  // without its line end
    std::string end;   // "\n", "\r\n", or "" for a last line without one
};

using Lines = std::vector<Line>;

Lines SplitLines(std::string_view content)
{
    Lines lines;
    std::size_t begin = 0;
    while (begin < content.size()) {
        const std::size_t newline = content.find('\n', begin);
        if (newline == std::string_view::npos) {
            lines.push_back({std::string(content.substr(begin)), std::string()});
            break;
        }
        std::size_t textEnd = newline;
        if (textEnd > begin && content[textEnd - 1] == '\r')
            --textEnd;
        lines.push_back({std::string(content.substr(begin, textEnd - begin)),
                         std::string(content.substr(textEnd, newline + 1 - textEnd))});
        begin = newline + 1;
    }
    return lines;
}

std::string JoinLines(const Lines& lines)
{
    std::string content;
    for (const Line& line : lines) {
        content += line.text;
        content += line.end;
    }
    return content;
}

// The line end new lines get: that of the file's first ended line.
std::string LineEndOf(const Lines& lines)
{
    for (const Line& line : lines) {
        if (!line.end.empty())
            return line.end;
    }
    return "\n";
}

enum class LineKind { Blank, Comment, Header, Entry, Other };

// What one line is. The views point into the line's text and are valid until
// the line changes.
struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;     // the section name of a header, the key of an entry
    std::string_view value;    // the value of an entry, trimmed
    std::size_t prefixEnd = 0; // an entry's text before its value is kept on replacement
};

LineInfo Classify(const Lines& lines, std::size_t index)
{
    std::string_view text = lines[index].text;
    std::size_t skipped = 0;
    if (index == 0 && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        text.remove_prefix(kUtf8Bom.size());
        skipped = kUtf8Bom.size();
    }
    LineInfo info;
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty()) {
        info.kind = LineKind::Blank;
        return info;
    }
    if (trimmed[0] == ';' || trimmed[0] == '#') {
        info.kind = LineKind::Comment;
        return info;
    }
    if (trimmed[0] == '[') {
        std::string_view inner = trimmed.substr(1);
        const std::size_t close = inner.find(']');
        if (close != std::string_view::npos)
            inner = inner.substr(0, close);
        info.kind = LineKind::Header;
        info.name = Trim(inner);
        return info;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return info;  // LineKind::Other
    info.kind = LineKind::Entry;
    info.name = Trim(text.substr(0, equals));
    info.value = Trim(text.substr(equals + 1));
    // "key = old" becomes "key = new"; "key=" becomes "key=new".
    std::size_t prefixEnd = equals + 1;
    if (!info.value.empty())
        prefixEnd = static_cast<std::size_t>(info.value.data() - text.data());
    info.prefixEnd = prefixEnd + skipped;
    return info;
}

struct SectionRange {
    std::size_t header = 0;     // index of the "[name]" line
    std::size_t bodyBegin = 0;  // first line after it
    std::size_t bodyEnd = 0;    // the next header, or the number of lines
};

std::size_t NextHeader(const Lines& lines, std::size_t from)
{
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (Classify(lines, i).kind == LineKind::Header)
            return i;
    }
    return lines.size();
}

// The first section of that name, searched from line `from`.
std::optional<SectionRange> FindSection(const Lines& lines, std::string_view name, std::size_t from = 0)
{
    const std::string_view wanted = Trim(name);
    for (std::size_t i = from; i < lines.size(); ++i) {
        const LineInfo info = Classify(lines, i);
        if (info.kind == LineKind::Header && EqualsNoCase(info.name, wanted))
            return SectionRange{i, i + 1, NextHeader(lines, i + 1)};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const Lines& lines, const SectionRange& section, std::string_view key)
{
    const std::string_view wanted = Trim(key);
    for (std::size_t i = section.bodyBegin; i < section.bodyEnd; ++i) {
        const LineInfo info = Classify(lines, i);
        if (info.kind == LineKind::Entry && EqualsNoCase(info.name, wanted))
            return i;
    }
    return std::nullopt;
}

void EnsureEnded(Line& line, const std::string& end)
{
    if (line.end.empty())
        line.end = end;
}

// Appends "[name]" and its body lines, after a blank line when the file has
// content that does not already end in one.
void AppendSection(Lines& lines, std::string_view name, const std::vector<std::string>& body)
{
    const std::string end = LineEndOf(lines);
    if (!lines.empty()) {
        EnsureEnded(lines.back(), end);
        if (Classify(lines, lines.size() - 1).kind != LineKind::Blank)
            lines.push_back({std::string(), end});
    }
    lines.push_back({"[" + std::string(Trim(name)) + "]", end});
    for (const std::string& text : body)
        lines.push_back({text, end});
}

// ---------------------------------------------------------------------------
// File access

enum class ReadStatus { Ok, Missing, Failed };

ReadStatus ReadWholeFile(const std::string& path, std::string* content)
{
    content->clear();
    if (path.empty())
        return ReadStatus::Missing;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
    // Only a regular file is a settings file (a device or a pipe might never end).
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return ReadStatus::Failed;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            content->clear();
            return ReadStatus::Failed;
        }
        if (got == 0)
            break;
        content->append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return ReadStatus::Ok;
}

Lines ReadLines(const std::string& path)
{
    std::string content;
    ReadWholeFile(path, &content);  // a missing or unreadable file reads as empty
    return SplitLines(content);
}

// Replaces the file at path with content: written whole under a temporary
// name beside it and renamed over it (see raw_file.h), or in place when the
// folder takes no new file.
bool ReplaceFile(const std::string& path, const std::string& content)
{
    ReplacementFile file(path);
    return file.Ok() && file.Write(content.data(), content.size()) && file.Commit();
}

// An exclusive advisory flock on the settings file for one read-modify-write
// cycle, so two processes writing the same file never lose each other's
// change. A write replaces the file by rename, which leaves a waiting
// writer's lock on the old file: the lock counts only once the locked file
// is still the one at the path, else it is taken again there. When no lock
// can be had (no such directory, no rights) the cycle runs without one; its
// write then fails or stands alone anyway.
class FileLock {
public:
    explicit FileLock(const std::string& path)
    {
        for (int attempt = 0; attempt < 1000; ++attempt) {
            fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd_ < 0 && errno == ENOENT) {
                fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                created_ = fd_ >= 0;
                if (fd_ < 0 && errno == EEXIST) continue;  // created meanwhile
            }
            if (fd_ < 0) fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd_ < 0) return;
            int locked;
            do {
                locked = flock(fd_, LOCK_EX);
            } while (locked != 0 && errno == EINTR);
            if (locked != 0) return;  // keep the descriptor, go on unlocked
            struct stat held {}, current {};
            if (fstat(fd_, &held) == 0 && stat(path.c_str(), &current) == 0 && held.st_dev == current.st_dev &&
                held.st_ino == current.st_ino)
                return;
            close(fd_);
            fd_ = -1;
            created_ = false;
        }
    }
    ~FileLock()
    {
        if (fd_ >= 0) close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // True when this lock made the (empty) file.
    bool Created() const { return created_; }

private:
    int fd_ = -1;
    bool created_ = false;
};

// Reads the file, lets change() edit its lines and writes the result back,
// all under the file's lock. change() returns false when there is nothing to
// write (a file the lock had to create is then removed again).
template <typename Change>
bool ModifyFile(const std::string& path, Change change)
{
    if (path.empty())
        return false;
    std::lock_guard<std::mutex> lock(WriteMutex());
    const std::string target = WriteTargetOf(path);
    FileLock fileLock(target);
    std::string content;
    if (ReadWholeFile(target, &content) == ReadStatus::Failed)
        return false;  // never overwrite a file that could not be read
    Lines lines = SplitLines(content);
    if (!change(lines)) {
        if (fileLock.Created()) unlink(target.c_str());
        return false;
    }
    return ReplaceFile(target, JoinLines(lines));
}

// ---------------------------------------------------------------------------
// Value encoding

locale_t CLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

std::string DecodeString(std::string_view stored)
{
    if (!stored.empty() && stored[0] == '\\')
        stored.remove_prefix(1);
    return std::string(stored);
}

std::string EncodeString(std::string_view text)
{
    // A line end inside the value would split the line: keep the first line.
    const std::size_t lineEnd = text.find_first_of("\r\n");
    if (lineEnd != std::string_view::npos)
        text = text.substr(0, lineEnd);
    if (text.empty())
        return "\\";
    if (text[0] == ' ' || text[0] == '\t' || text[0] == '\\')
        return "\\" + std::string(text);
    return std::string(text);
}

std::string FormatReal(double value)
{
    const locale_t c = CLocale();
    const locale_t previous = c != static_cast<locale_t>(nullptr) ? uselocale(c) : static_cast<locale_t>(nullptr);
    std::string text = Format("%f", value);
    if (previous != static_cast<locale_t>(nullptr))
        uselocale(previous);
    return text;
}

double ParseReal(const std::string& text)
{
    const locale_t c = CLocale();
    if (c != static_cast<locale_t>(nullptr))
        return strtod_l(text.c_str(), nullptr, c);
    return std::strtod(text.c_str(), nullptr);
}

int ParseInt(const std::string& text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

ProfileFile::ProfileFile(std::string_view path)
{
    SetPath(path);
}

void ProfileFile::SetPath(std::string_view path)
{
    // The whole path is kept: a cut path would name another file.
    path_ = std::string(path);
}

void ProfileFile::SetSection(std::string_view section)
{
    section_ = Truncated(section, kSectionCapacity);
}

std::optional<std::string> ProfileFile::Lookup(std::string_view key) const
{
    if (Trim(key).empty())
        return std::nullopt;
    const Lines lines = ReadLines(path_);
    const std::optional<SectionRange> section = FindSection(lines, section_);
    if (!section)
        return std::nullopt;
    const std::optional<std::size_t> index = FindKey(lines, *section, key);
    if (!index)
        return std::nullopt;
    return std::string(Classify(lines, *index).value);
}

std::string ProfileFile::ReadString(std::string_view key, const char* defaultText)
{
    const std::optional<std::string> stored = Lookup(key);
    found_ = stored.has_value();
    if (stored)
        return Truncated(DecodeString(*stored), kValueCapacity - 1);
    return Truncated(defaultText != nullptr ? std::string_view(defaultText) : key, kValueCapacity - 1);
}

std::string ProfileFile::ReadStringWriteBack(std::string_view key, const char* defaultText)
{
    std::string value = ReadString(key, defaultText);
    if (!found_) {
        WriteString(key, defaultText != nullptr ? std::string_view(defaultText) : key);
        found_ = false;
    }
    return value;
}

// A key with an empty value reads as the default, as with the classic
// functions; any other text converts as far as it holds digits ("12abc" is 12,
// "abc" is 0).
int ProfileFile::ReadInt(std::string_view key, int defaultValue)
{
    const std::optional<std::string> stored = Lookup(key);
    found_ = stored.has_value();
    if (!stored || stored->empty())
        return defaultValue;
    return ParseInt(*stored);
}

double ProfileFile::ReadReal(std::string_view key, double defaultValue)
{
    const std::optional<std::string> stored = Lookup(key);
    found_ = stored.has_value();
    if (!stored)
        return defaultValue;
    const std::string text = DecodeString(*stored);
    if (Trim(text).empty())
        return defaultValue;
    return ParseReal(text);
}

bool ProfileFile::WriteString(std::string_view key, std::string_view text)
{
    const std::string_view name = Trim(key);
    if (name.empty())
        return false;
    const std::string value = EncodeString(text);
    const std::string section = section_;
    return ModifyFile(path_, [&](Lines& lines) {
        const std::string end = LineEndOf(lines);
        const std::optional<SectionRange> range = FindSection(lines, section);
        if (!range) {
            AppendSection(lines, section, {std::string(name) + "=" + value});
            return true;
        }
        if (const std::optional<std::size_t> index = FindKey(lines, *range, name)) {
            Line& line = lines[*index];
            const std::size_t prefixEnd = Classify(lines, *index).prefixEnd;
            line.text = line.text.substr(0, prefixEnd) + value;
            return true;
        }
        // After the last non-blank line of the section, so the blank lines
        // that separate it from the next section stay where they are.
        std::size_t insertAt = range->bodyBegin;
        for (std::size_t i = range->bodyEnd; i > range->bodyBegin; --i) {
            if (Classify(lines, i - 1).kind != LineKind::Blank) {
                insertAt = i;
                break;
            }
        }
        EnsureEnded(lines[insertAt - 1], end);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), Line{std::string(name) + "=" + value, end});
        return true;
    });
}

bool ProfileFile::WriteInt(std::string_view key, int value)
{
    // A number never begins with a blank or a backslash, so the string
    // encoding stores it unchanged.
    return WriteString(key, Format("%d", value));
}

bool ProfileFile::WriteReal(std::string_view key, double value)
{
    return WriteString(key, FormatReal(value));
}

std::optional<std::string> ProfileFile::ReadSectionText(std::string_view section) const
{
    const Lines lines = ReadLines(path_);
    const std::optional<SectionRange> range = FindSection(lines, section);
    if (!range)
        return std::nullopt;
    std::string text;
    for (std::size_t i = range->bodyBegin; i < range->bodyEnd; ++i) {
        text += lines[i].text;
        text += lines[i].end.empty() ? std::string("\n") : lines[i].end;
    }
    return text;
}

bool ProfileFile::WriteSectionText(std::string_view section, std::string_view text)
{
    std::vector<std::string> body;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t newline = text.find('\n', begin);
        if (newline == std::string_view::npos)
            newline = text.size();
        std::string_view line = text.substr(begin, newline - begin);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);  // the file's own line end is used
        body.emplace_back(line);
        begin = newline + 1;
    }
    return ModifyFile(path_, [&](Lines& lines) {
        const std::string end = LineEndOf(lines);
        const std::optional<SectionRange> range = FindSection(lines, section);
        if (!range) {
            AppendSection(lines, section, body);
            return true;
        }
        EnsureEnded(lines[range->header], end);
        Lines replacement;
        for (const std::string& line : body)
            replacement.push_back({line, end});
        const auto first = lines.begin() + static_cast<std::ptrdiff_t>(range->bodyBegin);
        const auto last = lines.begin() + static_cast<std::ptrdiff_t>(range->bodyEnd);
        lines.insert(lines.erase(first, last), replacement.begin(), replacement.end());
        return true;
    });
}

bool ProfileFile::DeleteSection(std::string_view section)
{
    return ModifyFile(path_, [&](Lines& lines) {
        // Every section of that name goes, so none of them shows up afterwards.
        bool removed = false;
        std::size_t from = 0;
        while (const std::optional<SectionRange> range = FindSection(lines, section, from)) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(range->header),
                        lines.begin() + static_cast<std::ptrdiff_t>(range->bodyEnd));
            from = range->header;
            removed = true;
        }
        return removed;
    });
}

std::vector<std::string> ProfileFile::SectionNames() const
{
    std::vector<std::string> names;
    const Lines lines = ReadLines(path_);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineInfo info = Classify(lines, i);
        if (info.kind == LineKind::Header)
            names.emplace_back(info.name);
    }
    return names;
}

}  // namespace platform
