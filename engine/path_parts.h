// Path composition and splitting for DOS-style paths. Portable: no windows.h.
#pragma once

#include <string>
#include <string_view>

// The longest path the scan handles: a 260-byte buffer with its terminator.
inline constexpr std::size_t kMaxPathLength = 259;

struct PathParts
{
    std::string drive;     // "C:" or empty
    std::string directory; // up to and including the last '\' or '/', or empty
    std::string base;      // the file name without its extension
    std::string extension; // from the last '.' of the file name, or empty
};

PathParts SplitPath(std::string_view path);

// A file's path in a directory: a root such as "C:\" already ends in a separator, so
// exactly one '\' stands between directory and name either way.
std::string JoinPath(std::string_view directory, std::string_view name);

// The name to compose a path with, of a directory entry with these long and 8.3 names.
// A long name that the ANSI code page cannot carry comes back with '?' in it, and a
// Unix name may hold a '*': either would name no file, its 8.3 name (when it has one)
// still does.
const char* UsableName(const char* longName, const char* shortName);

// The extension of a name: from the last '.' that follows the last '\' or '/'.
std::string_view PathExtension(std::string_view name);
