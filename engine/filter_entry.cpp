#include "engine/filter_entry.h"

const std::array<DefaultFilter, 13> kDefaultFilters = {{
    {".EXE", FILE_KIND_EXECUTABLE},
    {".DLL", FILE_KIND_EXECUTABLE},
    {".CNV", FILE_KIND_EXECUTABLE},
    {".FLT", FILE_KIND_EXECUTABLE},
    {".EQU", FILE_KIND_EXECUTABLE},
    {".VBX", FILE_KIND_EXECUTABLE},
    {".OCX", FILE_KIND_EXECUTABLE},
    {".DRV", FILE_KIND_EXECUTABLE},
    {".GRP", FILE_KIND_OTHER},
    {".INI", FILE_KIND_OTHER},
    {".CPL", FILE_KIND_EXECUTABLE},
    {".3GR", FILE_KIND_EXECUTABLE},
    {".SCR", FILE_KIND_EXECUTABLE},
}};

const std::array<const char*, 4> kLoadableModuleExtensions = {".NODE", ".PYD", ".AX", ".XLL"};

// The blanks of the C library's %s and %d: space, tab, newline, vertical tab, form feed, CR.
static bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool ParseFilterEntry(std::string_view text, FilterEntry& entry)
{
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        start++;
    size_t end = start;
    while (end < text.size() && !IsBlank(text[end]) && text[end] != '\0')
        end++;
    if (end == start)
        return false;
    entry.extension.assign(text.substr(start, end - start));

    // "%d" after the token: optional blanks, an optional sign, digits. Anything else
    // leaves the preloaded kind 1.
    entry.kind = FILE_KIND_EXECUTABLE;
    size_t pos = end;
    while (pos < text.size() && IsBlank(text[pos]))
        pos++;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+'))
        negative = text[pos++] == '-';
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9')
        return true;
    unsigned value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; pos++)
        value = value * 10 + static_cast<unsigned>(text[pos] - '0');
    entry.kind = static_cast<unsigned char>(negative ? 0u - value : value);
    return true;
}

std::string FormatFilterEntry(const FilterEntry& entry)
{
    return entry.extension + ' ' + std::to_string(entry.kind);
}
