#include "engine/library_links.h"

#include <unordered_map>

#include "engine/path_parts.h"

static std::unordered_map<std::string, LibraryLinks> s_records;

void RememberLibraryLinks(LibraryLinks record)
{
    std::string key = ToUpperAscii(record.shortPath);
    s_records.insert_or_assign(std::move(key), std::move(record));
}

const LibraryLinks* RecallLibraryLinks(std::string_view path, bool quickScan, bool importDirectories)
{
    auto found = s_records.find(ToUpperAscii(path));
    if (found == s_records.end() || found->second.quickScan != quickScan ||
        found->second.importDirectories != importDirectories)
        return nullptr;
    return &found->second;
}

bool RecallListedSize(std::string_view path, std::uint64_t& size)
{
    auto found = s_records.find(ToUpperAscii(path));
    if (found == s_records.end() || !found->second.sized)
        return false;
    size = found->second.size;
    return true;
}

void ForgetLibraryLinks()
{
    s_records.clear();
    s_records.rehash(0);
}
