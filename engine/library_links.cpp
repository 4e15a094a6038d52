#include "engine/library_links.h"

#include <unordered_map>

#include "engine/path_parts.h"

// By upper-case short path; case twins share a slot, one record each.
static std::unordered_map<std::string, std::vector<LibraryLinks>> s_records;

void RememberLibraryLinks(LibraryLinks record)
{
    std::vector<LibraryLinks>& slot = s_records[ToUpperAscii(record.shortPath)];
    for (LibraryLinks& kept : slot)
        if (kept.shortPath == record.shortPath)
        {
            kept = std::move(record);
            return;
        }
    slot.push_back(std::move(record));
}

static const LibraryLinks* FindRecord(std::string_view path)
{
    auto found = s_records.find(ToUpperAscii(path));
    if (found == s_records.end())
        return nullptr;
    for (const LibraryLinks& record : found->second)
        if (record.shortPath == path)
            return &record;
    return found->second.size() == 1 ? &found->second.front() : nullptr;
}

const LibraryLinks* RecallLibraryLinks(std::string_view path, bool quickScan, bool modernLinks)
{
    const LibraryLinks* record = FindRecord(path);
    return record && record->quickScan == quickScan && record->modernLinks == modernLinks ? record : nullptr;
}

std::vector<LibraryLinks> RecallCaseTwins(std::string_view path, std::string_view exclude)
{
    std::vector<LibraryLinks> twins;
    auto found = s_records.find(ToUpperAscii(path));
    if (found == s_records.end() || found->second.size() < 2)
        return twins;
    for (const LibraryLinks& record : found->second)
        if (record.shortPath != exclude)
            twins.push_back(record);
    return twins;
}

bool RecallListedSize(std::string_view path, std::uint64_t& size)
{
    const LibraryLinks* record = FindRecord(path);
    if (!record || !record->sized)
        return false;
    size = record->size;
    return true;
}

void ForgetLibraryLinks()
{
    s_records.clear();
    s_records.rehash(0);
}
