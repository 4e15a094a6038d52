// Texts of the result list: the summary line, the lines of a saved list, and what the
// version pane says links to a listed file. Portable: no windows.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/unread_links.h"

// Decimal with a comma between each group of three digits: 1234567 is "1,234,567".
std::string GroupThousands(std::uint64_t value);

// " %d possibly unlinked .DLLs listed. Disk space taken: %s bytes"
std::string FormatSummaryLine(int count, std::uint64_t totalBytes);

// "1 64-bit DLL was left out", or the plural.
std::string FormatLeftOut64BitCount(int count);

// What a scan's reading passed over, one note for each kind counted, without an end:
// "3 examined files keep their import tables outside .idata; those links were not
// read". fullScanReads: a scan with Quick Scan off finds these links too.
struct UnreadLinkNote
{
    std::string text;
    bool fullScanReads;
};
std::vector<UnreadLinkNote> FormatUnreadLinkNotes(const UnreadLinkCounts& counts);

// One line of a saved list, without its line end: the prefix and a blank when a
// prefix is given, the path, a blank and the suffix when a suffix is given.
std::string FormatListLine(const char* prefix, std::string_view path, const char* suffix);

// The version pane's last line: "Linked from: nothing examined" when no DLL links to the
// file, else "Linked from listed DLLs only: " (when one of them is no longer listed,
// "Linked only from DLLs no examined file links to: ") and the DLLs, as many as fits
// takes, the rest counted ("and 2 more"); a first one too long is cut with "...". With
// no DLL linking to it but unreadFiles, files whose links the reading did not read:
// "Linked from: no link read; unread links in " and those files, fitted alike.
std::string FormatLinkedFromLine(const std::vector<std::string>& libraries, bool allListed,
                                 const std::vector<std::string>& unreadFiles,
                                 const std::function<bool(const std::string&)>& fits);
// The same line for a listed file that a registry value names (a scan without the
// modern reading): "Named by the registry: KEY\VALUE", cut with "..." to fit.
std::string FormatRegistryNamedLine(const std::string& valuePath,
                                    const std::function<bool(const std::string&)>& fits);
