#include "engine/distinct_names.h"

#include <cstdint>

#include "engine/name_list.h"

namespace
{

// The index of an entry that is spelling byte for byte, or -1. Entries equal to it
// without regard to case come first among those that begin with it.
int FindSpelling(const NameList& list, std::string_view spelling)
{
    int index = FindPrefix(list, spelling);
    // The list control's order answers the second entry before the first.
    if (index == 1 && NameAt(list, 0) == spelling)
        return 0;
    for (int count = GetCount(list); index >= 0 && index < count; ++index)
    {
        std::string_view entry = NameAt(list, index);
        if (entry == spelling)
            return index;
        if (entry.size() != spelling.size() || CompareNames(entry, spelling) != 0)
            break;
    }
    return -1;
}

} // namespace

std::size_t DistinctNames::FoldedHash::operator()(std::string_view name) const
{
    std::uint32_t hash = 2166136261u;
    for (char c : name)
    {
        const unsigned byte = static_cast<unsigned char>(c);
        hash = (hash ^ (byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte)) * 16777619u;
    }
    return hash;
}

bool DistinctNames::FoldedEqual::operator()(std::string_view a, std::string_view b) const
{
    return CompareNames(a, b) == 0;
}

void DistinctNames::Add(std::string_view name)
{
    auto found = added_.find(name);
    if (found == added_.end())
    {
        if (added_.size() >= kMostDistinctNames)
            return;
        added_.emplace(name);
        AddName(list_, name);
        return;
    }
    if (*found == name)
        return;
    // Another spelling: it takes the place of the one added before, at the end of the run.
    RemoveAt(list_, FindSpelling(list_, *found));
    added_.erase(found);
    added_.emplace(name);
    AddName(list_, name);
}
