// Filter entries: which files a scan examines, and how. Portable: no windows.h.
#pragma once

#include <array>
#include <string>
#include <string_view>

// Kinds of a filter entry; the scan adds FILE_KIND_LIBRARY for its pass over "*.DLL".
enum
{
    FILE_KIND_OTHER = 0,
    FILE_KIND_EXECUTABLE = 1,
    FILE_KIND_LIBRARY = 2,
};

// The count is stored in one byte.
constexpr int MAX_FILTER_ENTRIES = 255;

struct FilterEntry
{
    std::string extension; // a dot and up to three characters (eight: the modern reading)
    unsigned char kind;
};

struct DefaultFilter
{
    const char* extension;
    unsigned char kind;
};

// Stands in for the stored list as long as none is stored.
extern const std::array<DefaultFilter, 13> kDefaultFilters;
// The modern reading examines these beside the filter list: a Node add-on, a Python
// extension, a DirectShow filter and an Excel add-in are DLLs by other names.
extern const std::array<const char*, 4> kLoadableModuleExtensions;
// The longest extension an entry may have after its dot: the Parts' three (8.3 names),
// or with the modern reading eight, as the extensions above need.
constexpr std::size_t kClassicExtensionLength = 3;
constexpr std::size_t kModernExtensionLength = 8;

// Reads a stored "Ext%d" text: "%s %d", the first blank-delimited token and the kind
// that follows it (1 when no number follows; only its low byte counts). False for an
// empty or blank text, which is no entry.
bool ParseFilterEntry(std::string_view text, FilterEntry& entry);
// The stored text of an entry: extension, one blank, kind in decimal.
std::string FormatFilterEntry(const FilterEntry& entry);
