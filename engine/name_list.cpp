#include "engine/name_list.h"

#include <algorithm>
#include <cstring>

namespace
{

// A block that would take more than list.blockLimit entries splits in two halves;
// a block that falls below a quarter of that is merged with a neighbour, so that
// removals cannot leave a trail of tiny blocks behind.
std::size_t MinBlock(const NameList& list)
{
    return list.blockLimit / 4;
}

struct FoldTable
{
    unsigned char folded[256];
};

constexpr FoldTable MakeFoldTable()
{
    FoldTable table{};
    for (int c = 0; c < 256; ++c)
        table.folded[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return table;
}

constexpr FoldTable kFold = MakeFoldTable();

bool SameWord(const unsigned char* x, const unsigned char* y)
{
    std::uint64_t wx;
    std::uint64_t wy;
    std::memcpy(&wx, x, sizeof wx);
    std::memcpy(&wy, y, sizeof wy);
    return wx == wy;
}

bool BeginsWith(std::string_view name, std::string_view key)
{
    return name.size() >= key.size() && CompareNames(name.substr(0, key.size()), key) == 0;
}

int CompareBytes(std::string_view a, std::string_view b)
{
    std::size_t n = std::min(a.size(), b.size());
    int order = n ? std::memcmp(a.data(), b.data(), n) : 0;
    return order != 0 ? order : a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool HasOrder(const NameList& list)
{
    return list.order.makeKey != nullptr;
}

// A name and its sort key (empty without an order), as they are compared.
struct Ordered
{
    std::string_view name;
    std::string_view key;
};

// The sort key of name in list's order, in a buffer that lives until the next call.
Ordered OrderedName(const NameList& list, std::string_view name)
{
    static std::string key;
    key.clear();
    if (HasOrder(list))
        list.order.makeKey(list.order.context, name, key);
    return Ordered{name, key};
}

int CompareOrdered(const NameList& list, const Ordered& a, const Ordered& b)
{
    if (HasOrder(list))
        if (int order = CompareBytes(a.key, b.key))
            return order;
    return CompareNames(a.name, b.name);
}

// What a list control would keep of a C string read into a reader's buffer.
std::string_view CutName(std::string_view name)
{
    std::size_t end = name.find('\0');
    if (end == std::string_view::npos)
        end = name.size();
    return name.substr(0, std::min<std::size_t>(end, kMaxNameLength));
}

std::string_view TextOf(const NameBlock& block, NameSlot slot)
{
    return std::string_view(block.text.data() + slot.offset, slot.length);
}

std::string_view EntryOf(const NameBlock& block, std::size_t p)
{
    return TextOf(block, block.slots[p]);
}

Ordered OrderedOf(const NameBlock& block, NameSlot slot)
{
    return Ordered{TextOf(block, slot),
                   std::string_view(block.text.data() + slot.offset + slot.length + 1, slot.keyLength)};
}

Ordered OrderedEntryOf(const NameBlock& block, std::size_t p)
{
    return OrderedOf(block, block.slots[p]);
}

std::size_t StoredSize(NameSlot slot)
{
    return slot.length + 1u + slot.keyLength;
}

// Appends the text and its key; the slot is the caller's to place. std::string::append
// copies correctly from its own buffer, so the name may be an entry of this very block
// (a key to store never is: it is made anew or comes from another block).
NameSlot StoreText(NameBlock& block, const Ordered& entry)
{
    NameSlot slot{static_cast<std::uint32_t>(block.text.size()),
                  static_cast<std::uint16_t>(entry.name.size()),
                  static_cast<std::uint16_t>(entry.key.size())};
    block.text.append(entry.name);
    block.text.push_back('\0');
    block.text.append(entry.key);
    return slot;
}

void AppendEntry(NameBlock& block, const Ordered& entry)
{
    block.slots.push_back(StoreText(block, entry));
}

void CompactIfWasteful(NameBlock& block)
{
    if (block.unused <= block.text.size() / 2)
        return;
    NameBlock compact;
    compact.text.reserve(block.text.size() - block.unused);
    compact.slots.reserve(block.slots.size());
    for (NameSlot slot : block.slots)
        AppendEntry(compact, OrderedOf(block, slot));
    block = std::move(compact);
}

int CountOf(const NameList& list)
{
    return list.blocks.empty() ? 0 : list.starts.back() + static_cast<int>(list.blocks.back().slots.size());
}

int EndOf(const NameList& list, std::size_t b)
{
    return list.starts[b] + static_cast<int>(list.blocks[b].slots.size());
}

// The block that holds index (inside the list). Walks over ascending or descending
// indexes stay in the cached block or step to its neighbour without a search.
std::size_t BlockOfIndex(const NameList& list, int index)
{
    std::size_t b = list.lastBlock;
    if (b < list.blocks.size())
    {
        if (index >= list.starts[b] && index < EndOf(list, b))
            return b;
        if (b + 1 < list.blocks.size() && index >= list.starts[b + 1] && index < EndOf(list, b + 1))
            return list.lastBlock = b + 1;
        if (b > 0 && index >= list.starts[b - 1] && index < list.starts[b])
            return list.lastBlock = b - 1;
    }
    auto after = std::upper_bound(list.starts.begin(), list.starts.end(), index);
    return list.lastBlock = static_cast<std::size_t>(after - list.starts.begin()) - 1;
}

void RecountStarts(NameList& list)
{
    list.starts.assign(list.blocks.size(), 0);
    for (std::size_t b = 1; b < list.blocks.size(); ++b)
        list.starts[b] = EndOf(list, b - 1);
}

void ShiftStarts(NameList& list, std::size_t after, int delta)
{
    int* start = list.starts.data();
    for (std::size_t b = after + 1, n = list.starts.size(); b < n; ++b)
        start[b] += delta;
}

void SplitBlock(NameList& list, std::size_t b)
{
    NameBlock upper;
    NameBlock& full = list.blocks[b];
    std::size_t half = full.slots.size() / 2;
    for (std::size_t p = half; p < full.slots.size(); ++p)
    {
        AppendEntry(upper, OrderedEntryOf(full, p));
        full.unused += StoredSize(full.slots[p]);
    }
    full.slots.resize(half);
    CompactIfWasteful(full);
    list.blocks.insert(list.blocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(upper));
    list.starts.insert(list.starts.begin() + static_cast<std::ptrdiff_t>(b) + 1, EndOf(list, b));
}

// Moves the entries of block b + 1 to the end of block b.
void MergeWithNext(NameList& list, std::size_t b)
{
    const NameBlock& next = list.blocks[b + 1];
    for (NameSlot slot : next.slots)
        AppendEntry(list.blocks[b], OrderedOf(next, slot));
    list.blocks.erase(list.blocks.begin() + static_cast<std::ptrdiff_t>(b) + 1);
    list.starts.erase(list.starts.begin() + static_cast<std::ptrdiff_t>(b) + 1);
}

void DropBlockIfSmall(NameList& list, std::size_t b)
{
    std::size_t size = list.blocks[b].slots.size();
    if (size == 0)
    {
        list.blocks.erase(list.blocks.begin() + static_cast<std::ptrdiff_t>(b));
        list.starts.erase(list.starts.begin() + static_cast<std::ptrdiff_t>(b));
    }
    else if (size < MinBlock(list))
    {
        if (b + 1 < list.blocks.size() && size + list.blocks[b + 1].slots.size() <= list.blockLimit)
            MergeWithNext(list, b);
        else if (b > 0 && list.blocks[b - 1].slots.size() + size <= list.blockLimit)
            MergeWithNext(list, b - 1);
    }
}

// Where a search ended: block blocks.size() when it ran past the last entry.
struct Position
{
    std::size_t block;
    std::size_t at;
};

// The first entry for which before (true of a leading run of the list's entries, in
// order) is false.
template <class Before> Position FirstNotBefore(const NameList& list, Before before)
{
    auto block = std::partition_point(list.blocks.begin(), list.blocks.end(), [&](const NameBlock& block) {
        return before(OrderedOf(block, block.slots.back()));
    });
    if (block == list.blocks.end())
        return Position{list.blocks.size(), 0};
    auto slot = std::partition_point(block->slots.begin(), block->slots.end(),
                                     [&](NameSlot slot) { return before(OrderedOf(*block, slot)); });
    return Position{static_cast<std::size_t>(block - list.blocks.begin()),
                    static_cast<std::size_t>(slot - block->slots.begin())};
}

Ordered OrderedAt(const NameList& list, int index)
{
    std::size_t b = BlockOfIndex(list, index);
    return OrderedEntryOf(list.blocks[b], static_cast<std::size_t>(index - list.starts[b]));
}

// Takes entry index (inside the list) out of the store alone.
void RemoveEntry(NameList& list, int index)
{
    std::size_t b = BlockOfIndex(list, index);
    NameBlock& block = list.blocks[b];
    auto slot = block.slots.begin() + (index - list.starts[b]);
    block.unused += StoredSize(*slot);
    block.slots.erase(slot);
    CompactIfWasteful(block);
    ShiftStarts(list, b, -1);
    DropBlockIfSmall(list, b);
}

// The window no longer shows the store's entries: it is emptied and given them anew,
// and what it refuses now leaves the store too.
void RefillMirror(NameList& list)
{
    const NameListMirror& mirror = list.mirror;
    mirror.cleared(mirror.context);
    for (int i = 0; i < CountOf(list);)
    {
        if (mirror.inserted(mirror.context, i, NameAt(list, i).data()))
            ++i;
        else
            RemoveEntry(list, i);
    }
}

} // namespace

int CompareNames(std::string_view a, std::string_view b)
{
    const auto* x = reinterpret_cast<const unsigned char*>(a.data());
    const auto* y = reinterpret_cast<const unsigned char*>(b.data());
    std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n)
    {
        // Neighbouring names share long stretches byte for byte (a directory's path,
        // mostly in one case), which are skipped a word at a time.
        if (n - i >= 8 && SameWord(x + i, y + i))
        {
            i += 8;
            continue;
        }
        for (std::size_t end = std::min(n, i + 8); i < end; ++i)
        {
            unsigned char fx = kFold.folded[x[i]];
            unsigned char fy = kFold.folded[y[i]];
            if (fx != fy)
                return fx < fy ? -1 : 1;
        }
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

void AddName(NameList& list, std::string_view name)
{
    const Ordered added = OrderedName(list, CutName(name));
    Position bound{0, 0};
    if (list.blocks.empty())
    {
        list.blocks.emplace_back();
        list.starts.push_back(0);
    }
    else
    {
        bound = FirstNotBefore(list,
                               [&](const Ordered& entry) { return CompareOrdered(list, entry, added) <= 0; });
        // Into the last block, at its end, when no entry is greater than name.
        if (bound.block == list.blocks.size())
            bound = Position{list.blocks.size() - 1, list.blocks.back().slots.size()};
    }
    NameBlock& block = list.blocks[bound.block];
    block.slots.insert(block.slots.begin() + static_cast<std::ptrdiff_t>(bound.at), StoreText(block, added));
    ShiftStarts(list, bound.block, 1);
    int index = list.starts[bound.block] + static_cast<int>(bound.at);
    if (block.slots.size() > list.blockLimit)
        SplitBlock(list, bound.block);
    if (list.mirror.inserted && !list.mirror.inserted(list.mirror.context, index, NameAt(list, index).data()))
        RemoveEntry(list, index);
}

void AddNameOnce(NameList& list, std::string_view name)
{
    const std::string_view cut = CutName(name);
    if (FindSpelling(list, cut) == -1)
        AddName(list, cut);
}

int GetCount(const NameList& list)
{
    return CountOf(list);
}

std::string_view NameAt(const NameList& list, int index)
{
    if (index < 0 || index >= CountOf(list))
        return {};
    std::size_t b = BlockOfIndex(list, index);
    return EntryOf(list.blocks[b], static_cast<std::size_t>(index - list.starts[b]));
}

int GetName(const NameList& list, int index, char (&buffer)[kNameBufferSize])
{
    if (index < 0 || index >= CountOf(list))
        return -1;
    std::string_view name = NameAt(list, index);
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    return static_cast<int>(name.size());
}

void RemoveAt(NameList& list, int index)
{
    if (index < 0 || index >= CountOf(list))
        return;
    RemoveEntry(list, index);
    if (list.mirror.removed && !list.mirror.removed(list.mirror.context, index))
        RefillMirror(list);
}

int FindPrefix(const NameList& list, std::string_view key)
{
    key = CutName(key);
    // The list control finds nothing for an empty key, though every entry begins with it.
    if (key.empty())
        return -1;
    // The entries that begin with key lie in one range: in CompareNames' order, the
    // range of those very entries, from the lower bound of key; in an order of the
    // list's own, that of the entries whose sort keys begin with the bytes that every
    // name beginning with key has, where others may stand between them.
    std::string_view shared;
    Position start;
    if (HasOrder(list))
    {
        static std::string sortKey;
        sortKey.clear();
        const std::size_t sharedLength = list.order.makeKey(list.order.context, key, sortKey);
        shared = std::string_view(sortKey).substr(0, sharedLength);
        start =
            FirstNotBefore(list, [&](const Ordered& entry) { return CompareBytes(entry.key, shared) < 0; });
    }
    else
        start = FirstNotBefore(list, [&](const Ordered& entry) { return CompareNames(entry.name, key) < 0; });
    if (start.block == list.blocks.size())
        return -1;
    auto inRange = [&](const Ordered& entry) {
        return HasOrder(list) ? entry.key.substr(0, shared.size()) == shared : BeginsWith(entry.name, key);
    };
    // The list control looks at the first entry last.
    int found = -1;
    for (int i = list.starts[start.block] + static_cast<int>(start.at), n = CountOf(list); i < n; ++i)
    {
        const Ordered entry = OrderedAt(list, i);
        if (!inRange(entry))
            break;
        if (!BeginsWith(entry.name, key))
            continue;
        if (i > 0)
            return i;
        found = 0;
    }
    return found;
}

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

void Clear(NameList& list)
{
    list.blocks.clear();
    list.starts.clear();
    list.lastBlock = 0;
    if (list.mirror.cleared)
        list.mirror.cleared(list.mirror.context);
}

namespace
{

// One pass that takes out every entry that a later one of its run replaces, block by
// block where it stands: a scan's result list runs to tens of megabytes, which a copy
// would hold twice. Without bySpelling, the next entry equal to it replaces an entry;
// with it, only a later one of the very same bytes.
void DropReplaced(NameList& list, bool bySpelling)
{
    std::vector<int> dropped;
    std::vector<char> replacedHere;
    int index = 0;
    for (std::size_t b = 0; b < list.blocks.size(); ++b)
    {
        NameBlock& block = list.blocks[b];
        replacedHere.assign(block.slots.size(), 0);
        for (std::size_t p = 0; p < block.slots.size(); ++p, ++index)
        {
            const std::string_view entry = EntryOf(block, p);
            bool replaced = false;
            for (std::size_t nb = b, np = p + 1; nb < list.blocks.size() && !replaced; ++nb, np = 0)
            {
                const NameBlock& next = list.blocks[nb];
                for (; np < next.slots.size(); ++np)
                {
                    const std::string_view later = EntryOf(next, np);
                    if (CompareNames(entry, later) != 0)
                        break;
                    replaced = !bySpelling || later == entry;
                    if (replaced)
                        break;
                }
                if (np < next.slots.size())
                    break;
            }
            replacedHere[p] = replaced;
            if (replaced && list.mirror.removed)
                dropped.push_back(index);
        }
        // Only later entries are compared with, so this block may change now.
        std::size_t kept = 0;
        for (std::size_t p = 0; p < block.slots.size(); ++p)
            if (replacedHere[p])
                block.unused += StoredSize(block.slots[p]);
            else
                block.slots[kept++] = block.slots[p];
        block.slots.resize(kept);
    }
    std::erase_if(list.blocks, [](const NameBlock& block) { return block.slots.empty(); });
    RecountStarts(list);
    for (std::size_t b = 0; b + 1 < list.blocks.size();)
        if (list.blocks[b].slots.size() + list.blocks[b + 1].slots.size() <= list.blockLimit / 2)
            MergeWithNext(list, b);
        else
            ++b;
    for (NameBlock& block : list.blocks)
        CompactIfWasteful(block);
    list.lastBlock = 0;
    // Removals from the highest index down leave every lower index where it was, so
    // the mirror deletes exactly the entries dropped here.
    for (auto it = dropped.rbegin(); it != dropped.rend(); ++it)
        if (!list.mirror.removed(list.mirror.context, *it))
        {
            RefillMirror(list);
            return;
        }
}

} // namespace

void DropDuplicates(NameList& list)
{
    DropReplaced(list, false);
}

void DropRepeatedNames(NameList& list)
{
    DropReplaced(list, true);
}

void SetNameOrder(NameList& list, const NameOrder& order)
{
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(CountOf(list)));
    for (int i = 0; i < CountOf(list); ++i)
        names.emplace_back(NameAt(list, i));
    Clear(list);
    list.order = order;
    for (const std::string& name : names)
        AddName(list, name);
}

void AttachMirror(NameList& list, const NameListMirror& mirror)
{
    list.mirror = mirror;
}

void DetachMirror(NameList& list)
{
    list.mirror = {};
}
