#include "engine/pe_manifests.h"

#include <algorithm>

#include "engine/pe_layout.h"

namespace
{

using namespace pe_layout;

constexpr std::uint32_t kManifestType = 24;
constexpr std::uint64_t kResourceHeaderSize = 16;
constexpr std::uint64_t kNamedCountOffset = 12;
constexpr std::uint64_t kEntrySize = 8;
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint64_t kDataEntrySize = 16;

// The resource tree's offsets are from the directory's start, a subdirectory's with
// the high bit set. Each level is visited through Entries.
template <typename Source> class ResourceTree
{
public:
    ResourceTree(Source& source, std::uint64_t root) : source_(source), root_(root) {}

    // Calls take(id or name offset, offset of what the entry points to, subdirectory)
    // for each entry of the directory at offset, until it answers false. False when the
    // directory runs outside the bytes.
    template <typename Take> bool Entries(std::uint32_t offset, Take take)
    {
        std::uint16_t named = 0;
        std::uint16_t numbered = 0;
        ByteSpan header = source_.Fetch(root_ + offset, kResourceHeaderSize);
        if (!ReadU16(header, kNamedCountOffset, named) || !ReadU16(header, kNamedCountOffset + 2, numbered))
            return false;
        const std::uint64_t count =
            std::min<std::uint64_t>(std::uint64_t{named} + numbered, kMostResourceEntries);
        for (std::uint64_t i = 0; i < count; i++)
        {
            ByteSpan entry = source_.Fetch(root_ + offset + kResourceHeaderSize + kEntrySize * i, kEntrySize);
            std::uint32_t id = 0;
            std::uint32_t target = 0;
            if (!ReadU32(entry, 0, id) || !ReadU32(entry, 4, target))
                return false;
            if (!take(id, target & ~kSubdirectory, (target & kSubdirectory) != 0))
                break;
        }
        return true;
    }

private:
    Source& source_;
    std::uint64_t root_;
};

// The manifest a language entry points to, handed on; false when its data entry lies
// outside the bytes. One too large or outside the bytes is skipped.
template <typename Source, typename Map>
bool TakeManifest(Source& source, Map& sections, std::uint64_t dataEntry, const ManifestSink& sink,
                  int& handedOn)
{
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
    std::uint64_t offset = 0;
    ByteSpan entry = source.Fetch(dataEntry, kDataEntrySize);
    if (!ReadU32(entry, 0, rva) || !ReadU32(entry, 4, size))
        return false;
    if (size == 0 || size > kMostManifestBytes || !sections(rva, offset))
        return true;
    ByteSpan text = source.Fetch(offset, size);
    if (text.size() == size)
    {
        sink(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
        handedOn++;
    }
    return true;
}

template <typename Source> int ParseFrom(Source& source, const ManifestSink& sink)
{
    PeHeaders pe;
    if (!ReadPeHeaders(source, pe) || !IsReadablePe(pe))
        return -1;
    if (pe.resourceRva == 0)
        return 0;
    SectionMap<Source> sections(source, pe);
    std::uint64_t root = 0;
    if (!sections(pe.resourceRva, root))
        return -1;
    ResourceTree<Source> tree(source, root);

    // Type, then name, then language: the first language of each name is the one read.
    int handedOn = 0;
    bool intact = true;
    auto language = [&](std::uint32_t, std::uint32_t data, bool isDirectory) {
        intact = intact && !isDirectory && TakeManifest(source, sections, root + data, sink, handedOn);
        return false;
    };
    auto name = [&](std::uint32_t, std::uint32_t languages, bool isDirectory) {
        intact = intact && isDirectory && tree.Entries(languages, language);
        return intact && handedOn < static_cast<int>(kMostManifests);
    };
    auto type = [&](std::uint32_t id, std::uint32_t names, bool isDirectory) {
        if (id != kManifestType)
            return true;
        intact = intact && isDirectory && tree.Entries(names, name);
        return false;
    };
    intact = tree.Entries(0, type) && intact;
    return intact ? handedOn : -1;
}

} // namespace

int ParseManifestResources(ByteSpan bytes, const ManifestSink& sink)
{
    SpanSource source(bytes);
    return ParseFrom(source, sink);
}

int ParseManifestResources(PagedBytes& bytes, const ManifestSink& sink)
{
    return ParseFrom(bytes, sink);
}
