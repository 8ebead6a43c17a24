// Path helpers: separators, "~", case-insensitive names and wildcard masks,
// directory listings in a reproducible order, and the typed raw-file names of
// the file dialogs.
//
// The file-system functions here (existence checks, listings, removal,
// renames, ResolveNoCase) accept a path beginning with "~" and expand it, so a
// name kept in its stored "~/..." form can be passed on unchanged.
#include "platform/paths.h"

#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The length below which a typed name is taken as relative to the base
// directory of the dialog.
constexpr std::size_t kTypedNameRelativeLimit = 40;

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string HomeDirectory()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return {};
}

// The directory to list for a path's directory part ("." for a bare name).
std::string ListableDirectory(const std::string& dir)
{
    return dir.empty() ? std::string(".") : ExpandHome(dir);
}

bool IsRegularEntry(const std::string& dir, const dirent* entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK)
        return false;
    // The file system does not say, or it is a link: ask for the target.
    struct stat info {};
    const std::string full = WithTrailingSlash(dir) + entry->d_name;
    return stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ByNameNoCase(const std::string& a, const std::string& b)
{
    if (LessNoCase(a, b))
        return true;
    if (LessNoCase(b, a))
        return false;
    return a < b;  // names differing only in case: a total order all the same
}

std::string_view StripTrailingSlashes(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

}  // namespace

std::string WithTrailingSlash(std::string_view path)
{
    std::string result(path);
    if (!result.empty() && result.back() != '/')
        result += '/';
    return result;
}

std::string ExpandHome(std::string_view path)
{
    if (path.empty() || path[0] != '~' || (path.size() > 1 && path[1] != '/'))
        return std::string(path);
    std::string home = HomeDirectory();
    if (home.empty())
        return std::string(path);
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    if (path.size() == 1)
        return home;
    if (home == "/")
        return std::string(path.substr(1));
    return home + std::string(path.substr(1));
}

std::string DirectoryOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    if (slash == 0)
        return "/";
    const std::string_view dir = StripTrailingSlashes(path.substr(0, slash));
    return std::string(dir);
}

std::string FileNameOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return std::string(path);
    return std::string(path.substr(slash + 1));
}

std::string WriteTargetOf(const std::string& path)
{
    const std::string expanded = ExpandHome(path);
    struct stat info {};
    if (lstat(expanded.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = realpath(expanded.c_str(), nullptr)) {
            std::string target = resolved;
            std::free(resolved);
            return target;
        }
    }
    return expanded;
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return !path.empty() && stat(ExpandHome(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat info {};
    return !path.empty() && stat(ExpandHome(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const std::string& path, int* errorCode)
{
    const std::string target = ExpandHome(path);
    if (mkdir(target.c_str(), 0777) == 0) {
        if (errorCode != nullptr)
            *errorCode = 0;
        return true;
    }
    const int code = errno;
    if (code == EEXIST && DirectoryExists(target)) {
        if (errorCode != nullptr)
            *errorCode = 0;
        return true;
    }
    if (errorCode != nullptr)
        *errorCode = code;
    return false;
}

std::string LocateBesideModule(const std::string& modulePath, const std::string& fileName, const char* override)
{
    if (override && *override) return override;
    const std::string dir = DirectoryOf(modulePath);
    const std::string here = ResolveNoCase(WithTrailingSlash(dir) + fileName);
    if (FileExists(here)) return here;
    const std::string parent = DirectoryOf(dir);
    if (!parent.empty() && parent != dir) {
        const std::string there = ResolveNoCase(WithTrailingSlash(parent) + fileName);
        if (FileExists(there)) return there;
    }
    return WithTrailingSlash(dir) + fileName;
}

bool MakeDirectories(const std::string& path, int* errorCode)
{
    const std::string target = ExpandHome(path);
    if (DirectoryExists(target)) {
        if (errorCode != nullptr) *errorCode = 0;
        return true;
    }
    // Every prefix ending before a "/" first, then the whole path.
    for (std::size_t at = target.find('/', 1); at != std::string::npos; at = target.find('/', at + 1)) {
        const std::string prefix = target.substr(0, at);
        if (!DirectoryExists(prefix) && !MakeDirectory(prefix, errorCode)) return false;
    }
    return MakeDirectory(target, errorCode);
}

bool RemoveFile(const std::string& path)
{
    return !path.empty() && unlink(ExpandHome(path).c_str()) == 0;
}

bool MoveFile(const std::string& from, const std::string& to)
{
    const std::string source = ExpandHome(from);
    const std::string target = ExpandHome(to);
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // The file system cannot refuse to replace atomically: check, then rename.
    struct stat info {};
    if (lstat(target.c_str(), &info) == 0)
        return false;
    return std::rename(source.c_str(), target.c_str()) == 0;
}

bool WildcardMatch(std::string_view mask, std::string_view name)
{
    // Greedy matching with one back-tracking point: the position after the
    // last '*' seen and the name position it was tried at.
    std::size_t m = 0;
    std::size_t n = 0;
    std::size_t starMask = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starName = n;
        } else if (m < mask.size() && (mask[m] == '?' || LowerAscii(mask[m]) == LowerAscii(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

std::vector<std::string> FindFiles(const std::string& dir, std::string_view mask)
{
    std::vector<std::string> names;
    const std::string listed = ListableDirectory(dir);
    DIR* stream = opendir(listed.c_str());
    if (stream == nullptr)
        return names;
    while (const dirent* entry = readdir(stream)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (WildcardMatch(mask, name) && IsRegularEntry(listed, entry))
            names.emplace_back(name);
    }
    closedir(stream);
    std::sort(names.begin(), names.end(), ByNameNoCase);
    return names;
}

int DeleteByMask(const std::string& dir, std::string_view mask)
{
    const std::string listed = ListableDirectory(dir);
    int deleted = 0;
    for (const std::string& name : FindFiles(listed, mask)) {
        const std::string full = WithTrailingSlash(listed) + name;
        if (unlink(full.c_str()) == 0)
            ++deleted;
    }
    return deleted;
}

std::string ResolveNoCase(const std::string& path)
{
    struct stat info {};
    if (path.empty() || lstat(ExpandHome(path).c_str(), &info) == 0)
        return path;
    const std::size_t slash = path.rfind('/');
    const std::string prefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string wanted = path.substr(prefix.size());
    if (wanted.empty())
        return path;
    const std::string listed = ListableDirectory(prefix);
    DIR* stream = opendir(listed.c_str());
    if (stream == nullptr)
        return path;
    std::string best;
    while (const dirent* entry = readdir(stream)) {
        const std::string name(entry->d_name);
        // Several spellings of one name: take the first in listing order, so
        // the choice does not depend on the order of the directory.
        if (EqualsNoCase(name, wanted) && (best.empty() || ByNameNoCase(name, best)))
            best = name;
    }
    closedir(stream);
    return best.empty() ? path : prefix + best;
}

std::string TypedRawFileName(std::string_view name, std::string_view baseDir, bool mustExist)
{
    std::string result(name);
    const std::size_t slash = result.rfind('/');
    const std::size_t dot = result.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        result += ".raw";
    const bool absolute = !result.empty() && (result[0] == '/' || result[0] == '~');
    if (result.size() < kTypedNameRelativeLimit && !absolute && !(mustExist && FileExists(result)))
        result = WithTrailingSlash(baseDir) + result;
    return result;
}

std::string DisplayRelative(std::string_view path, std::string_view baseDir)
{
    std::string_view shown = path;
    constexpr std::string_view kRawExtension = ".raw";
    if (shown.size() >= kRawExtension.size() &&
        EqualsNoCase(shown.substr(shown.size() - kRawExtension.size()), kRawExtension))
        shown.remove_suffix(kRawExtension.size());
    const std::string base = WithTrailingSlash(baseDir);
    if (!base.empty() && shown.size() >= base.size() && EqualsNoCase(shown.substr(0, base.size()), base))
        shown.remove_prefix(base.size());
    return std::string(shown);
}

std::string ModulePath(const void* address)
{
    Dl_info info {};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0)
        return {};
    // The program itself has no name in its link map and dladdr reports its
    // argv[0]; the kernel knows its real path.
    if (map != nullptr && (map->l_name == nullptr || map->l_name[0] == '\0')) {
        char buffer[PATH_MAX];
        const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (length > 0)
            return std::string(buffer, static_cast<std::size_t>(length));
    }
    if (info.dli_fname == nullptr || info.dli_fname[0] == '\0')
        return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) != nullptr)
        return resolved;
    return info.dli_fname;
}

}  // namespace platform
