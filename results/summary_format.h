// Texts of the result list: the summary line and the lines of a saved list.
// Portable: no windows.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Decimal with a comma between each group of three digits: 1234567 is "1,234,567".
std::string GroupThousands(std::uint64_t value);

// " %d possibly unlinked .DLLs listed. Disk space taken: %s bytes"
std::string FormatSummaryLine(int count, std::uint64_t totalBytes);

// One line of a saved list, without its line end: the prefix and a blank when a
// prefix is given, the path, a blank and the suffix when a suffix is given.
std::string FormatListLine(const char* prefix, std::string_view path, const char* suffix);
