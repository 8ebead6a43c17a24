// Path helpers: "/" separators, the home-directory "~", case-insensitive
// names and wildcard masks, and the typed-name rules of the file dialogs.
//
// File names on the original platform ignore case; here wildcard masks match
// without regard to case, directory listings are sorted by name without regard
// to case, and a fixed name is opened by its exact spelling first and then by
// a case-insensitive match in the same directory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// path with one "/" at the end (an empty path stays empty).
std::string WithTrailingSlash(std::string_view path);

// "~" or a leading "~/" replaced by $HOME; anything else unchanged.
std::string ExpandHome(std::string_view path);

// The directory part of a path without its trailing "/" ("" for a bare name;
// "/" for a file in the root).
std::string DirectoryOf(std::string_view path);
// The last component of a path.
std::string FileNameOf(std::string_view path);

// The settings file of the module (a library) at modulePath: override when
// set and not empty; else fileName in the module's directory when it exists
// (any case); else in the parent directory when it exists there; else the
// module's directory, where the first write creates it.
std::string LocateBesideModule(const std::string& modulePath, const std::string& fileName, const char* override);

// The file a write to path goes to: a link's target (resolved, "~"
// expanded), else the path itself with "~" expanded.
std::string WriteTargetOf(const std::string& path);

bool FileExists(const std::string& path);       // a regular file
bool DirectoryExists(const std::string& path);
// Creates one directory level. True when it exists afterwards; *errorCode
// receives errno on failure.
bool MakeDirectory(const std::string& path, int* errorCode = nullptr);
// Creates the directory and every missing parent ("mkdir -p"). True when it
// exists afterwards; *errorCode receives errno of the level that failed.
bool MakeDirectories(const std::string& path, int* errorCode = nullptr);
bool RemoveFile(const std::string& path);
// Renames from to to (to must not exist, as with the original move).
bool MoveFile(const std::string& from, const std::string& to);

// Wildcard match of a name against a mask with '*' and '?', without regard to
// case. A mask without '.' also matches "name.ext" only through its '*'s.
bool WildcardMatch(std::string_view mask, std::string_view name);

// Regular files of dir (not recursive) whose names match mask, sorted by name
// without regard to case; names only.
std::vector<std::string> FindFiles(const std::string& dir, std::string_view mask);

// Deletes every regular file of dir matching mask; returns how many went.
int DeleteByMask(const std::string& dir, std::string_view mask);

// path itself when it exists; else the entry of the same directory whose name
// equals the file name without regard to case; else path unchanged.
std::string ResolveNoCase(const std::string& path);

// Typed raw-file name of a dialog: appends ".raw" when the name has no
// extension (no dot after the last "/"); prefixes baseDir (with a trailing
// "/") when the name is shorter than 40 characters and does not begin with
// "/" or "~" -- and, with mustExist, when no file of that name exists as typed.
std::string TypedRawFileName(std::string_view name, std::string_view baseDir, bool mustExist);

// A full path for display: a trailing ".raw" (any case) removed and a leading
// baseDir (with a trailing "/") cut off.
std::string DisplayRelative(std::string_view path, std::string_view baseDir);

// The full path of the module (shared library or program) that holds address.
std::string ModulePath(const void* address);

}  // namespace platform
