#include "engine/name_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace
{

std::vector<std::string> EntriesOf(const NameList& list)
{
    std::vector<std::string> entries;
    char buffer[kNameBufferSize];
    for (int i = 0; i < GetCount(list); ++i)
    {
        int length = GetName(list, i, buffer);
        EXPECT_EQ(length, static_cast<int>(std::strlen(buffer))) << "entry " << i;
        entries.emplace_back(buffer);
    }
    return entries;
}

void AddNames(NameList& list, std::initializer_list<std::string_view> names)
{
    for (std::string_view name : names)
        AddName(list, name);
}

// What a mirrored window would show, by applying every notification it takes: it
// refuses the name refused, and as many removals as refusedRemovals says.
struct Shown
{
    std::vector<std::string> entries;
    const char* refused = nullptr;
    int refusedRemovals = 0;
};

Shown& ShownBy(void* context)
{
    return *static_cast<Shown*>(context);
}

NameListMirror MirrorInto(Shown& shown)
{
    return NameListMirror{
        &shown,
        [](void* context, int index, const char* name) {
            auto& entries = ShownBy(context).entries;
            EXPECT_LE(static_cast<std::size_t>(index), entries.size());
            if (ShownBy(context).refused && std::strcmp(ShownBy(context).refused, name) == 0)
                return false;
            entries.insert(entries.begin() + index, name);
            return true;
        },
        [](void* context, int index) {
            auto& entries = ShownBy(context).entries;
            EXPECT_LT(static_cast<std::size_t>(index), entries.size());
            if (ShownBy(context).refusedRemovals-- > 0)
                return false;
            entries.erase(entries.begin() + index);
            return true;
        },
        [](void* context) { ShownBy(context).entries.clear(); },
    };
}

// A list control's semantics, literally: a linear insertion, a linear search from
// the second entry that wraps to the first, and de-duplication by erasing entry i
// whenever it equals entry i + 1; sorted by bytes, or by sort keys.
struct ModelList
{
    std::vector<std::string> names;
    bool keyed = false;
};

unsigned char ModelFold(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// A collation in miniature: letters, whatever their case, after every other byte, and
// '-' left out of the first level; the name itself, folded, tells the rest apart.
std::size_t ToyKey(void*, std::string_view name, std::string& key)
{
    for (char c : name)
        if (unsigned char f = ModelFold(c); c != '-')
            key += static_cast<char>(f >= 'a' && f <= 'z' ? 0x80 + (f - 'a') : std::max<int>(f, 2));
    const std::size_t firstLevel = key.size();
    key += '\x01';
    for (char c : name)
        key += static_cast<char>(ModelFold(c));
    return firstLevel;
}

std::string ToyKeyOf(std::string_view name)
{
    std::string key;
    ToyKey(nullptr, name, key);
    return key;
}

bool ModelLess(const std::string& a, const std::string& b, bool keyed = false)
{
    if (keyed)
        return ToyKeyOf(a) < ToyKeyOf(b);
    const char* x = a.data();
    const char* y = b.data();
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        if (ModelFold(x[i]) != ModelFold(y[i]))
            return ModelFold(x[i]) < ModelFold(y[i]);
    return a.size() < b.size();
}

bool ModelEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return ModelFold(x) == ModelFold(y); });
}

std::string ModelCut(std::string_view name)
{
    std::string text(name.substr(0, name.find('\0')));
    return text.size() > 259 ? text.substr(0, 259) : text;
}

void ModelAdd(ModelList& model, std::string_view name)
{
    std::string text = ModelCut(name);
    std::size_t at = 0;
    while (at < model.names.size() && !ModelLess(text, model.names[at], model.keyed))
        ++at;
    model.names.insert(model.names.begin() + static_cast<std::ptrdiff_t>(at), text);
}

int ModelFind(const ModelList& model, std::string_view key)
{
    std::string text = ModelCut(key);
    if (text.empty())
        return -1;
    int n = static_cast<int>(model.names.size());
    for (int step = 1; step <= n; ++step)
    {
        int i = step % n;
        if (model.names[i].size() >= text.size() &&
            ModelEqual(std::string_view(model.names[i]).substr(0, text.size()), text))
            return i;
    }
    return -1;
}

void ModelDropDuplicates(ModelList& model)
{
    int n = static_cast<int>(model.names.size());
    for (int i = 0; i < n - 1; ++i)
        if (ModelEqual(model.names[i], model.names[i + 1]))
        {
            model.names.erase(model.names.begin() + i);
            --i;
            --n;
        }
}

TEST(NameList, CaseTwinsStandSideBySideUntilDropDuplicatesKeepsTheLaterAdded)
{
    NameList list;
    AddNames(list, {"KERNEL32", "kernel32"});
    EXPECT_EQ(EntriesOf(list), (std::vector<std::string>{"KERNEL32", "kernel32"}));
    DropDuplicates(list);
    EXPECT_EQ(EntriesOf(list), std::vector<std::string>{"kernel32"});

    NameList reversed;
    AddNames(reversed, {"user32", "kernel32", "KERNEL32", "advapi32"});
    EXPECT_EQ(EntriesOf(reversed), (std::vector<std::string>{"advapi32", "kernel32", "KERNEL32", "user32"}));
    DropDuplicates(reversed);
    EXPECT_EQ(EntriesOf(reversed), (std::vector<std::string>{"advapi32", "KERNEL32", "user32"}));
}

TEST(NameList, DropDuplicatesKeepsTheLastOfEveryRun)
{
    NameList three;
    AddNames(three, {"C:\\A.DLL", "c:\\a.dll", "C:\\a.DLL"});
    DropDuplicates(three);
    EXPECT_EQ(EntriesOf(three), std::vector<std::string>{"C:\\a.DLL"});

    NameList runs;
    AddNames(runs, {"b", "a1", "B", "c", "A1", "a", "b", "a1", "d", "D"});
    // By spelling, across the blocks' edges: the last of each.
    NameList spelt;
    spelt.blockLimit = 4;
    AddNames(spelt, {"b", "a1", "B", "c", "A1", "a", "b", "a1", "d", "D"});
    DropRepeatedNames(spelt);
    EXPECT_EQ(EntriesOf(spelt), (std::vector<std::string>{"a", "A1", "a1", "B", "b", "c", "d", "D"}));
    DropDuplicates(runs);
    EXPECT_EQ(EntriesOf(runs), (std::vector<std::string>{"a", "a1", "b", "c", "D"}));
    // A prefix is not a duplicate.
    NameList prefixes;
    AddNames(prefixes, {"C:\\WIN\\X", "C:\\WIN\\X.DLL", "C:\\WIN\\X.DL"});
    DropDuplicates(prefixes);
    EXPECT_EQ(GetCount(prefixes), 3);

    NameList empty;
    DropDuplicates(empty);
    EXPECT_EQ(GetCount(empty), 0);
    NameList single;
    AddName(single, "ONE");
    DropDuplicates(single);
    EXPECT_EQ(EntriesOf(single), std::vector<std::string>{"ONE"});
}

TEST(NameList, FindPrefixFollowsTheListControlsSearchOrder)
{
    struct Case
    {
        const char* what;
        std::vector<std::string_view> entries;
        std::string_view key;
        int expected;
    };
    const Case cases[] = {
        {"empty list", {}, "A", -1},
        {"empty list, empty key", {}, "", -1},
        {"two equal entries", {"C:\\W\\K.DLL", "c:\\w\\k.dll"}, "C:\\W\\K.DLL", 1},
        {"prefix hit", {"C:\\WIN\\X.DLL"}, "C:\\WIN\\X", 0},
        {"key longer than the entry", {"C:\\WIN\\X"}, "C:\\WIN\\X.DLL", -1},
        {"only the first entry matches", {"A.DLL", "B.DLL", "C.DLL"}, "a", 0},
        {"first and second entry match", {"A.DLL", "A.EXE", "C.DLL"}, "a", 1},
        {"matches only further on", {"A", "B", "C1", "C2", "D"}, "c", 2},
        {"last entry only", {"A", "B", "C"}, "C", 2},
        {"key between entries", {"A", "C"}, "B", -1},
        {"key after every entry", {"A", "C"}, "D", -1},
        {"single entry equal", {"A"}, "a", 0},
        {"empty key matches nothing", {"A", "B"}, "", -1},
        {"empty key, one entry", {"A"}, "", -1},
        {"key empty once cut at its NUL", {"A", "B"}, std::string_view("\0A", 2), -1},
    };
    for (const Case& c : cases)
    {
        NameList list;
        for (std::string_view entry : c.entries)
            AddName(list, entry);
        EXPECT_EQ(FindPrefix(list, c.key), c.expected) << c.what;
    }
}

TEST(NameList, OrdersBytesByValueFoldingOnlyAsciiLetters)
{
    NameList list;
    AddNames(list, {"a\xe9", "aZ", "ab", "a_b", "A[b", "C:\\WINDOWS", "C:\\WIN\\X.DLL", "a\xc9"});
    // '[' and '_' lie between 'Z' and 'a': folding to lower case puts them before
    // every letter, and a directory's '\' before the longer names beside it.
    EXPECT_EQ(EntriesOf(list), (std::vector<std::string>{"A[b", "a_b", "ab", "aZ", "a\xc9", "a\xe9",
                                                         "C:\\WIN\\X.DLL", "C:\\WINDOWS"}));
    // Bytes above 127 are not folded: no case twins among them.
    DropDuplicates(list);
    EXPECT_EQ(GetCount(list), 8);
    EXPECT_EQ(FindPrefix(list, "A\xe9"), 5);
    EXPECT_EQ(FindPrefix(list, "A\xc0"), -1);
    EXPECT_LT(CompareNames("a\x7f", "a\x80"), 0);
}

TEST(NameList, WhatTheWindowRefusesLeavesTheStoreAndARefusedRemovalRefillsIt)
{
    NameList list;
    Shown shown;
    shown.refused = "B";
    AttachMirror(list, MirrorInto(shown));
    AddNames(list, {"C", "B", "A", "b"});
    EXPECT_EQ(EntriesOf(list), (std::vector<std::string>{"A", "b", "C"}));
    EXPECT_EQ(shown.entries, EntriesOf(list));
    // A window that refused a removal no longer shows the store: it is given the
    // entries anew, and one it refuses now leaves the store as well.
    shown.refused = "C";
    shown.refusedRemovals = 1;
    RemoveAt(list, 0);
    EXPECT_EQ(EntriesOf(list), std::vector<std::string>{"b"});
    EXPECT_EQ(shown.entries, EntriesOf(list));
}

TEST(NameList, SortedInsertionShiftsLaterIndexes)
{
    NameList list;
    Shown shown;
    AttachMirror(list, MirrorInto(shown));
    AddNames(list, {"B", "D"});
    EXPECT_EQ(FindPrefix(list, "D"), 1);
    AddName(list, "c");
    EXPECT_EQ(EntriesOf(list), (std::vector<std::string>{"B", "c", "D"}));
    EXPECT_EQ(FindPrefix(list, "D"), 2);
    AddName(list, "A");
    EXPECT_EQ(FindPrefix(list, "D"), 3);
    // An equal entry goes after those already there.
    AddName(list, "b");
    EXPECT_EQ(EntriesOf(list), (std::vector<std::string>{"A", "B", "b", "c", "D"}));
    EXPECT_EQ(shown.entries, EntriesOf(list));
}

TEST(NameList, GetNameOutsideTheListLeavesTheBufferAlone)
{
    NameList list;
    AddNames(list, {"A.DLL", "B.DLL"});
    char buffer[kNameBufferSize];
    for (int index : {-1, 2, 3, INT_MIN, INT_MAX})
    {
        std::memset(buffer, 'Q', sizeof buffer);
        EXPECT_EQ(GetName(list, index, buffer), -1) << "index " << index;
        EXPECT_TRUE(std::all_of(buffer, buffer + sizeof buffer, [](char c) { return c == 'Q'; }))
            << "index " << index;
        EXPECT_TRUE(NameAt(list, index).empty()) << "index " << index;
    }
    EXPECT_EQ(GetName(list, 1, buffer), 5);
    EXPECT_STREQ(buffer, "B.DLL");
}

TEST(NameList, RemoveAtMovesLaterEntriesUpAndIgnoresIndexesOutside)
{
    NameList list;
    AddNames(list, {"A", "B", "C", "D", "E"});
    RemoveAt(list, 2);
    EXPECT_EQ(EntriesOf(list), (std::vector<std::string>{"A", "B", "D", "E"}));
    RemoveAt(list, 0);
    RemoveAt(list, 2);
    EXPECT_EQ(EntriesOf(list), (std::vector<std::string>{"B", "D"}));
    for (int index : {-1, 2, INT_MAX})
        RemoveAt(list, index);
    EXPECT_EQ(EntriesOf(list), (std::vector<std::string>{"B", "D"}));
    RemoveAt(list, 1);
    RemoveAt(list, 0);
    EXPECT_EQ(GetCount(list), 0);
    RemoveAt(list, 0);
    EXPECT_EQ(FindPrefix(list, ""), -1);
}

TEST(NameList, ClearEmptiesAndTheListTakesNewEntries)
{
    NameList list;
    for (int i = 0; i < 2000; ++i)
        AddName(list, "N" + std::to_string(i * 7919 % 2000));
    Clear(list);
    EXPECT_EQ(GetCount(list), 0);
    EXPECT_EQ(FindPrefix(list, "N1"), -1);
    AddNames(list, {"Y", "X"});
    EXPECT_EQ(EntriesOf(list), (std::vector<std::string>{"X", "Y"}));
}

TEST(NameList, EntriesEndAtTheirFirstNulAndAt259Characters)
{
    NameList list;
    std::string longName = "C:\\" + std::string(300, 'x');
    AddName(list, longName);
    AddName(list, std::string_view("AB\0CD", 5));
    char buffer[kNameBufferSize];
    EXPECT_EQ(GetName(list, 0, buffer), 2);
    EXPECT_STREQ(buffer, "AB");
    EXPECT_EQ(GetName(list, 1, buffer), 259);
    EXPECT_EQ(std::string(buffer), longName.substr(0, 259));
    // A name finds itself, however long it was.
    EXPECT_EQ(FindPrefix(list, longName), 1);
    EXPECT_EQ(FindPrefix(list, std::string_view("AB\0ZZ", 5)), 0);
}

// Short names over a few letters in both cases, punctuation and a high byte, so that
// case twins, prefixes and runs of duplicates come up all the time.
std::string RandomName(std::mt19937& random)
{
    static const char kAlphabet[] = {'a', 'A', 'b', 'B', '\\', '_', '.', '-', '\xe9'};
    int length = std::uniform_int_distribution<int>(0, 5)(random);
    std::string name;
    for (int i = 0; i < length; ++i)
        name += kAlphabet[std::uniform_int_distribution<int>(0, sizeof kAlphabet - 1)(random)];
    return name;
}

void ExpectSameAsModel(const NameList& list, const ModelList& model, const std::vector<std::string>& shown,
                       int step)
{
    ASSERT_EQ(GetCount(list), static_cast<int>(model.names.size())) << "step " << step;
    for (int i = 0; i < GetCount(list); ++i)
        ASSERT_EQ(NameAt(list, i), model.names[i]) << "step " << step << ", index " << i;
    ASSERT_EQ(shown, model.names) << "step " << step;
}

// Grows the list past several blocks, then shrinks it, checking every answer
// against the model after every operation. Keyed, the names that begin with a key
// need not stand together.
void RunDifferential(unsigned seed, int steps, bool keyed)
{
    std::mt19937 random(seed);
    NameList list;
    ModelList model;
    model.keyed = keyed;
    if (keyed)
        SetNameOrder(list, NameOrder{nullptr, ToyKey});
    list.blockLimit = 8;
    Shown shown;
    AttachMirror(list, MirrorInto(shown));
    std::size_t mostBlocks = 0;
    for (int step = 0; step < steps; ++step)
    {
        bool growing = step < steps * 3 / 5;
        int roll = std::uniform_int_distribution<int>(0, 9999)(random);
        int count = GetCount(list);
        int index = std::uniform_int_distribution<int>(-1, count)(random);
        if (roll < (growing ? 7500 : 2500))
        {
            std::string name = RandomName(random);
            AddName(list, name);
            ModelAdd(model, name);
        }
        else if (roll < 9950)
        {
            RemoveAt(list, index);
            if (index >= 0 && index < count)
                model.names.erase(model.names.begin() + index);
        }
        else if (roll < 9998)
        {
            DropDuplicates(list);
            ModelDropDuplicates(model);
        }
        else
        {
            Clear(list);
            model.names.clear();
        }
        mostBlocks = std::max(mostBlocks, list.blocks.size());
        ExpectSameAsModel(list, model, shown.entries, step);
        if (testing::Test::HasFatalFailure())
            return;
        for (int k = 0; k < 4; ++k)
        {
            std::string key = RandomName(random);
            if (k == 0 && !model.names.empty())
                key = model.names[static_cast<std::size_t>(random() % model.names.size())];
            ASSERT_EQ(FindPrefix(list, key), ModelFind(model, key))
                << "step " << step << ", key '" << key << "'";
        }
    }
    // Splits and merges of blocks have had their turn.
    EXPECT_GE(mostBlocks, 30u);
    EXPECT_LT(GetCount(list), 100);
}

TEST(NameList, AgreesWithTheListControlModelOverRandomOperations)
{
    for (bool keyed : {false, true})
        for (unsigned seed : {1u, 2u, 3u})
        {
            SCOPED_TRACE(testing::Message() << "seed " << seed << (keyed ? ", keyed" : ""));
            RunDifferential(seed, 3000, keyed);
            if (HasFatalFailure())
                return;
        }
}

// Names as a scan files them: short paths, with duplicates and case twins (a path
// whose names were already 8.3 keeps the case they were given).
std::string RandomPath(std::mt19937& random)
{
    char path[64];
    std::snprintf(path, sizeof path,
                  random() % 4 ? "C:\\DIR%u\\SUB%u\\MOD%u.DLL" : "c:\\dir%u\\sub%u\\mod%u.dll",
                  static_cast<unsigned>(random() % 40), static_cast<unsigned>(random() % 60),
                  static_cast<unsigned>(random() % 200));
    return path;
}

// Takes seconds under the sanitizers; a store whose adds cost time in proportion to
// its size (a sorted vector of strings) keeps it busy for many minutes.
TEST(NameList, TakesThreeHundredThousandNamesInSortedOrder)
{
    constexpr int kNames = 300000;
    std::mt19937 random(7);
    std::vector<std::string> added;
    NameList list;
    for (int i = 0; i < kNames; ++i)
    {
        added.push_back(RandomPath(random));
        AddName(list, added.back());
    }
    // Equal names in the order added: a stable sort of positions by the names folded
    // to lower case, compared as unsigned bytes.
    std::vector<std::string> folded(added);
    for (std::string& name : folded)
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return static_cast<char>(ModelFold(c)); });
    std::vector<int> order(kNames);
    for (int i = 0; i < kNames; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return folded[a] < folded[b]; });
    std::vector<std::string> expected;
    for (int i : order)
        expected.push_back(added[i]);
    ASSERT_EQ(GetCount(list), kNames);
    for (int i = 0; i < kNames; ++i)
        ASSERT_EQ(NameAt(list, i), expected[i]) << "index " << i;

    for (int i = 0; i < kNames; i += 97)
    {
        int found = FindPrefix(list, added[i]);
        ASSERT_GE(found, 0) << added[i];
        ASSERT_TRUE(ModelEqual(NameAt(list, found), added[i])) << added[i];
    }

    DropDuplicates(list);
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (i + 1 == expected.size() || !ModelEqual(expected[i], expected[i + 1]))
            kept.push_back(expected[i]);
    ASSERT_EQ(GetCount(list), static_cast<int>(kept.size()));
    for (int i = 0; i < GetCount(list); ++i)
        ASSERT_EQ(NameAt(list, i), kept[i]) << "index " << i;

    // Half of them found and removed in random order, as the cross-check works off
    // its queue: the rest stay in order.
    std::vector<std::size_t> removal(kept.size());
    for (std::size_t i = 0; i < removal.size(); ++i)
        removal[i] = i;
    std::shuffle(removal.begin(), removal.end(), random);
    removal.resize(removal.size() / 2);
    std::vector<bool> removed(kept.size());
    for (std::size_t k : removal)
    {
        int found = FindPrefix(list, kept[k]);
        ASSERT_GE(found, 0) << kept[k];
        RemoveAt(list, found);
        removed[k] = true;
    }
    int index = 0;
    for (std::size_t k = 0; k < kept.size(); ++k)
        if (!removed[k])
            ASSERT_EQ(NameAt(list, index++), kept[k]) << "index " << index - 1;
    EXPECT_EQ(GetCount(list), index);
}

} // namespace
