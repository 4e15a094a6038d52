#include "engine/name_collation.h"

#include <cstdint>

namespace
{

// Room for the sort key of the longest name; a longer key is asked for its size.
constexpr int kKeyRoom = 2048;

// The platform's sort key orders, compared byte by byte, as its comparison does, and
// costs one call a name instead of one a comparison. A sorted list box converts its
// texts from the ANSI code page, so the key is made from that conversion too. Its
// first level (every character's main weight) ends at the first byte 1: a name that
// begins with another has that one's first level at the start of its own.
std::size_t MakeSortKey(void* context, std::string_view name, std::string& key)
{
    const LCID locale = static_cast<LCID>(reinterpret_cast<std::uintptr_t>(context));
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE | LOCALE_USE_CP_ACP;
    const int length = static_cast<int>(name.size());
    key.resize(kKeyRoom);
    int size = LCMapStringA(locale, flags, name.data(), length, key.data(), kKeyRoom);
    if (size == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER)
    {
        key.resize(static_cast<std::size_t>(LCMapStringA(locale, flags, name.data(), length, nullptr, 0)));
        size = LCMapStringA(locale, flags, name.data(), length, key.data(), static_cast<int>(key.size()));
    }
    // The key's own terminator adds nothing to the order.
    key.resize(size > 0 ? static_cast<std::size_t>(size) - 1 : 0);
    const std::size_t firstLevel = key.find('\x01');
    return firstLevel == std::string::npos ? key.size() : firstLevel;
}

} // namespace

void OrderAsSortedListBox(NameList& list, LCID locale)
{
    SetNameOrder(list, NameOrder{reinterpret_cast<void*>(static_cast<std::uintptr_t>(locale)), MakeSortKey});
}
