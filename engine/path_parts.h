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

// The extension of a name: from the last '.' that follows the last '\' or '/'.
std::string_view PathExtension(std::string_view name);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::string ToUpperAscii(std::string_view text);
