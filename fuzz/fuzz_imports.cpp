// The whole import-parsing path from a byte buffer, in both readings, with the promises
// that the Win32 reader relies on checked for every input: each name lies inside the input, its raw
// form ends with a zero inside the input, it stays within the length cap, and the
// answer agrees with the names produced. The same bytes read page by page, as the
// Win32 reader reads a file, must give the same answer and the same names, holding a
// few pages however many descriptors the input holds.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/paged_bytes.h"
#include "engine/pe_imports.h"
#include "fuzz/require.h"

static void CheckReading(const std::uint8_t* data, std::size_t size, ImportReading reading)
{
    std::vector<std::string_view> names;
    bool unreadTables = false;
    int answer = ParseImports(
        ByteSpan(data, size), reading, [&](std::string_view name, LinkKind) { names.push_back(name); },
        unreadTables);

    Require(answer >= -1, "answer is -1, 0 or a count", {});
    if (answer >= 0)
        Require(static_cast<std::size_t>(answer) == names.size(), "a count answer counts the names", {});
    // Every name takes an import descriptor of 20 bytes inside the input, or with the
    // directories read a delay-load descriptor of 32 too.
    const std::size_t fit = size / 20 + (reading == ImportReading::ImportDirectories ? size / 32 : 0);
    Require(names.size() <= fit, "no more names than descriptors fit", {});
    Require(reading == ImportReading::IdataSection || !unreadTables, "the directories leave no table unread",
            {});

    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    for (std::string_view name : names)
    {
        Require(name.data() >= begin && name.size() <= static_cast<std::size_t>(end - name.data()),
                "name lies inside the input", {});
        Require(name.size() <= kMaxModuleName, "name within the length cap", name);
        Require(std::memchr(name.data(), 0, name.size()) == nullptr, "name holds no zero", name);
        Require(name.find_first_of("\\/") == std::string_view::npos, "name holds no directory", name);
        // The raw name ends with a zero inside the input, within the bytes searched for it,
        // and the reduced name is a part of the raw one.
        const char* after = name.data() + name.size();
        const void* zero = std::memchr(after, 0, static_cast<std::size_t>(end - after));
        Require(zero != nullptr, "raw name ends with a zero inside the input", name);
        Require(static_cast<const char*>(zero) - name.data() < static_cast<std::ptrdiff_t>(kModuleNameScan),
                "raw name's zero within its first 260 bytes", name);
    }

    // Pages fetched on demand, each read counted: a parse holds a few pages whatever the
    // input, and one that fits in them reads no page twice.
    std::size_t reads = 0;
    std::vector<const std::uint8_t*> buffers;
    PagedBytes paged(size, [&](std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
        reads++;
        if (std::find(buffers.begin(), buffers.end(), buffer) == buffers.end())
            buffers.push_back(buffer);
        std::memcpy(buffer, data + offset, count);
        return count;
    });
    std::vector<std::string> pagedNames;
    bool pagedUnread = false;
    Require(ParseImports(
                paged, reading, [&](std::string_view name, LinkKind) { pagedNames.emplace_back(name); },
                pagedUnread) == answer,
            "paged parse gives the same answer", {});
    Require(pagedUnread == unreadTables, "paged parse finds the same tables unread", {});
    Require(pagedNames.size() == names.size(), "paged parse gives as many names", {});
    for (std::size_t i = 0; i < names.size(); i++)
        Require(pagedNames[i] == names[i], "paged parse gives the same names", pagedNames[i]);
    Require(buffers.size() <= PagedBytes::kHeldPages, "a few pages held", {});
    if (size <= PagedBytes::kHeldPages * PagedBytes::kPageSize)
        Require(reads <= size / PagedBytes::kPageSize + 1, "no page is read twice", {});
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckReading(data, size, ImportReading::IdataSection);
    CheckReading(data, size, ImportReading::ImportDirectories);
    return 0;
}
