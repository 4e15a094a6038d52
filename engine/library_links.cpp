#include "engine/library_links.h"

#include <unordered_map>

#include "engine/path_parts.h"
#include "platform/ascii_case.h"

void RememberLibraryLinks(LibraryRecords& records, LibraryLinks record)
{
    std::vector<LibraryLinks>& slot = records[ToUpperAscii(record.shortPath)];
    for (LibraryLinks& kept : slot)
        if (kept.shortPath == record.shortPath)
        {
            kept = std::move(record);
            return;
        }
    slot.push_back(std::move(record));
}

static const LibraryLinks* FindRecord(const LibraryRecords& records, std::string_view path)
{
    auto found = records.find(ToUpperAscii(path));
    if (found == records.end())
        return nullptr;
    for (const LibraryLinks& record : found->second)
        if (record.shortPath == path)
            return &record;
    return found->second.size() == 1 ? &found->second.front() : nullptr;
}

const LibraryLinks* RecallLibraryLinks(const LibraryRecords& records, std::string_view path, bool quickScan,
                                       bool modernLinks)
{
    const LibraryLinks* record = FindRecord(records, path);
    return record && record->quickScan == quickScan && record->modernLinks == modernLinks ? record : nullptr;
}

std::vector<LibraryLinks> RecallCaseTwins(const LibraryRecords& records, std::string_view path,
                                          std::string_view exclude)
{
    std::vector<LibraryLinks> twins;
    auto found = records.find(ToUpperAscii(path));
    if (found == records.end() || found->second.size() < 2)
        return twins;
    for (const LibraryLinks& record : found->second)
        if (record.shortPath != exclude)
            twins.push_back(record);
    return twins;
}

bool RecallListedSize(const LibraryRecords& records, std::string_view path, std::uint64_t& size)
{
    const LibraryLinks* record = FindRecord(records, path);
    if (!record || !record->sized)
        return false;
    size = record->size;
    return true;
}
