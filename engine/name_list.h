// Name lists: the scan's ordered string stores, with the operations and answers of
// a sorted list control, made fast enough for hundreds of thousands of names.
//
// Entries are kept in ascending order of CompareNames: bytes compared by value
// with only the ASCII letters folded (A-Z equal to a-z), so that equal names are
// neighbours and the names that begin with a key are one contiguous range. A list
// that a user sees can take the order of the platform's collation instead
// (NameOrder). A new entry goes after the entries equal to it, so the last of a run
// of equals is the one added most recently.
//
// The store is a sequence of sorted blocks of up to 1024 entries each, with the
// index of every block's first entry: insertion and removal move the slots of one
// block and the starts of the blocks after it, lookups by name and by index are
// binary searches, and a walk over neighbouring indexes is constant time per step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Every reader of an entry copies it into a buffer of 260 bytes with its terminator.
inline constexpr int kNameBufferSize = 260;
inline constexpr int kMaxNameLength = kNameBufferSize - 1;

// A window that shows a list, told of every change at the index where it happens,
// so that its indexes keep denoting the store's entries. Called after the store has
// changed; the core knows nothing of windows (list_box_mirror.h fills this in). The
// window answers whether it made the change: an entry it refused to take is taken
// out of the store again, and a window that refused a removal is emptied and given
// the store's entries anew (less those it refuses then), so the two never part.
struct NameListMirror
{
    void* context = nullptr;
    bool (*inserted)(void* context, int index, const char* name) = nullptr;
    bool (*removed)(void* context, int index) = nullptr;
    void (*cleared)(void* context) = nullptr;
};

// An order other than CompareNames': every entry carries a sort key that makeKey
// writes into key, and entries stand in ascending byte order of their keys, equal
// keys in the order of CompareNames. makeKey answers how many leading bytes of the
// key every name that begins with this one has in its own key (a collation's
// first-level weights): FindPrefix looks for the names that begin with a key among
// the entries whose keys begin with those bytes. Names equal under CompareNames must
// get equal keys, so that DropDuplicates still finds them side by side.
struct NameOrder
{
    void* context = nullptr;
    std::size_t (*makeKey)(void* context, std::string_view name, std::string& key) = nullptr;
};

// Where an entry's text lies in its block's buffer; its sort key, if the list has an
// order of its own, follows the text's NUL.
struct NameSlot
{
    std::uint32_t offset;
    std::uint16_t length;
    std::uint16_t keyLength;
};

// A sorted run of entries. The texts lie in one buffer, each followed by a NUL, so
// that an insertion moves only the small slots and a block's binary search stays in
// one piece of memory; removed texts are left in place until they take half of it.
struct NameBlock
{
    std::string text;
    std::vector<NameSlot> slots; // in sorted order, never empty
    std::size_t unused = 0;      // bytes of text no slot refers to
};

// Reached only through the operations below. Not copyable: a copy would mirror into
// the same window.
struct NameList
{
    NameList() = default;
    NameList(const NameList&) = delete;
    NameList& operator=(const NameList&) = delete;
    NameList(NameList&&) = default;
    NameList& operator=(NameList&&) = default;

    std::vector<NameBlock> blocks;
    std::vector<int> starts;           // index of each block's first entry
    mutable std::size_t lastBlock = 0; // block of the last lookup by index
    NameListMirror mirror;
    NameOrder order; // none: CompareNames
    // Entries a block takes before it splits (at least 4). Tests make it small so
    // that a few hundred entries exercise every split and merge.
    std::size_t blockLimit = 1024;
};

// <0, 0 or >0 as a sorts before, equal to or after b.
int CompareNames(std::string_view a, std::string_view b);

// Inserts name after every entry not greater than it. The name ends at its first NUL
// byte, as a C string would, and is cut to kMaxNameLength characters, the most a
// reader's buffer takes.
void AddName(NameList& list, std::string_view name);

// The same, unless an entry of the very same spelling is there: a list that takes
// every name a scan finds would otherwise hold each many times over until the next
// DropRepeatedNames, which leaves the same.
void AddNameOnce(NameList& list, std::string_view name);

int GetCount(const NameList& list);

// Copies entry index and its terminator into buffer and gives its length; gives -1
// and leaves buffer as it was when index is outside the list.
int GetName(const NameList& list, int index, char (&buffer)[kNameBufferSize]);

// Entry index without a copy, followed by its terminator like a C string; an empty
// view when index is outside the list. Valid until the list next changes.
std::string_view NameAt(const NameList& list, int index);

// Later entries move up by one; an index outside the list changes nothing.
void RemoveAt(NameList& list, int index);

// The index of an entry that begins with key (cut as AddName cuts a name), or -1;
// always -1 for an empty key, as for the list control. Of several, the first in the list control's search
// order: from the second entry to the last, then the first.
int FindPrefix(const NameList& list, std::string_view key);

// The index of an entry that is spelling byte for byte, or -1. Entries equal to it
// without regard to case come first among those that begin with it.
int FindSpelling(const NameList& list, std::string_view spelling);

void Clear(NameList& list);

// Of every run of equal neighbours only the last stays.
void DropDuplicates(NameList& list);
// Of every run of equal neighbours the last of each spelling stays: names that differ
// only in case may name two files.
void DropRepeatedNames(NameList& list);

// Puts the entries in order's order from now on (a default NameOrder: CompareNames'),
// a mirrored window with them.
void SetNameOrder(NameList& list, const NameOrder& order);

// Makes mirror follow every later change of list; the window must already show the
// current entries. DetachMirror stops that.
void AttachMirror(NameList& list, const NameListMirror& mirror);
void DetachMirror(NameList& list);
