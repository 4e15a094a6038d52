#include "engine/distinct_names.h"

#include <cstdint>

#include "engine/name_list.h"

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
