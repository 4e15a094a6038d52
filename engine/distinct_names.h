// The names of one reading of a file, put into a scratch list without the repeats. A
// crafted file can name one module ten million times, or a million modules: the list
// would follow it into gigabytes, where every name read again would only be resolved
// again to the same file. Portable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

struct NameList;

// Far more modules than any file names, few enough that the longest names a crafted
// file can give take a few tens of megabytes.
inline constexpr std::size_t kMostDistinctNames = 65536;

// The list ends up as it would with every name added, once its duplicates are dropped
// (the last of each run of names equal without regard to case is kept): each name is
// held in the spelling this reading gave it last. Names beyond kMostDistinctNames
// different ones are not added.
class DistinctNames
{
public:
    explicit DistinctNames(NameList& list) : list_(list) {}
    DistinctNames(const DistinctNames&) = delete;
    DistinctNames& operator=(const DistinctNames&) = delete;

    void Add(std::string_view name);

private:
    struct FoldedHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const;
    };
    struct FoldedEqual
    {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };

    NameList& list_;
    // The spelling in which each name was added last.
    std::unordered_set<std::string, FoldedHash, FoldedEqual> added_;
};
