#include "engine/pe_imports.h"

#include <algorithm>
#include <cstdint>

#include "engine/pe_layout.h"
#include "platform/ascii_case.h"

namespace
{

using namespace pe_layout;

constexpr std::uint64_t kDescriptorSize = 20;
constexpr std::uint64_t kDescriptorStampOffset = 4;
constexpr std::uint64_t kDescriptorNameOffset = 12;
// Delay-load descriptors: attributes, then the module name; bit 0 of the attributes set
// means RVAs, clear means virtual addresses (the first linkers that wrote the table).
constexpr std::uint64_t kDelayDescriptorSize = 32;
constexpr std::uint64_t kDelayNameOffset = 4;
constexpr std::uint32_t kDelayAttributesRva = 1;

enum class NameRead
{
    Found,
    Unterminated, // 260 bytes inside the file, none of them zero
    Cut,          // the end of the file comes first
};

// Section names are 8 bytes, zero-padded only when shorter, so the comparison stops at
// the first zero on either side: ".idata\0x" matches, ".idata2" does not.
bool IsImportSectionName(ByteSpan name)
{
    static constexpr char kImportSection[8] = ".idata";
    for (std::size_t i = 0; i < sizeof kImportSection; i++)
    {
        std::uint8_t c = static_cast<std::uint8_t>(LowerAscii(static_cast<char>(name[i])));
        if (c != static_cast<std::uint8_t>(kImportSection[i]))
            return false;
        if (c == 0)
            return true;
    }
    return true;
}

// 1 with the offset of the first ".idata" section header, 0 when no header matches,
// -1 when a header to be examined is not wholly inside the bytes.
template <typename Source>
int FindImportSection(Source& source, std::uint64_t table, std::uint16_t sectionCount, std::uint64_t& header)
{
    for (std::uint64_t i = 0; i < sectionCount; i++)
    {
        std::uint64_t at = table + kSectionHeaderSize * i;
        ByteSpan sectionHeader = source.Fetch(at, kSectionHeaderSize);
        if (sectionHeader.size() != kSectionHeaderSize)
            return -1;
        if (IsImportSectionName(sectionHeader.first(8)))
        {
            header = at;
            return 1;
        }
    }
    return 0;
}

template <typename Source>
NameRead ReadModuleName(Source& source, std::uint64_t offset, std::string_view& name)
{
    if (offset >= source.Size())
        return NameRead::Cut;
    ByteSpan window = source.Fetch(offset, std::min<std::uint64_t>(source.Size() - offset, kModuleNameScan));
    if (window.empty())
        return NameRead::Cut;
    auto zero = std::find(window.begin(), window.end(), std::uint8_t{0});
    if (zero == window.end())
        return window.size() < kModuleNameScan ? NameRead::Cut : NameRead::Unterminated;
    name = std::string_view(reinterpret_cast<const char*>(window.data()),
                            static_cast<std::size_t>(zero - window.begin()));
    return NameRead::Found;
}

// Every name located with the ".idata" section's own RVA-to-offset mapping (delta),
// wherever it lies: the linkers that write an .idata section put the names inside it,
// and a file that points elsewhere is read the same way rather than mapped section by
// section.
struct IdataDelta
{
    std::uint32_t delta;
    bool operator()(std::uint32_t rva, std::uint64_t& offset) const
    {
        offset = static_cast<std::uint32_t>(rva - delta);
        return true;
    }
};

// Reads the module name at rva, located by locate, and hands it on; false when the
// walk must answer -1 (a name that the end of the bytes cuts, or that no section holds).
template <typename Source, typename Locate>
bool TakeName(Source& source, Locate& locate, std::uint32_t rva, const ImportNameSink& sink, LinkKind kind,
              int& count)
{
    std::uint64_t offset = 0;
    std::string_view name;
    if (!locate(rva, offset))
        return false;
    switch (ReadModuleName(source, offset, name))
    {
    case NameRead::Cut: return false;
    case NameRead::Unterminated: return true;
    case NameRead::Found: break;
    }
    sink(ReduceModuleName(name), kind);
    count++;
    return true;
}

// Walks the import descriptors from file offset first, each name located by locate.
template <typename Source, typename Locate>
int WalkDescriptors(Source& source, std::uint64_t first, Locate&& locate, const ImportNameSink& sink)
{
    int count = 0;
    for (std::uint64_t at = first;; at += kDescriptorSize)
    {
        std::uint32_t stamp = 0;
        std::uint32_t nameRva = 0;
        ByteSpan descriptor = source.Fetch(at, kDescriptorSize);
        if (!ReadU32(descriptor, kDescriptorStampOffset, stamp) ||
            !ReadU32(descriptor, kDescriptorNameOffset, nameRva))
            return -1;
        if (stamp == 0 && nameRva == 0)
            return count;
        if (!TakeName(source, locate, nameRva, sink, LinkKind::Import, count))
            return -1;
    }
}

// Walks the delay-load descriptors from file offset first. The table ends where the
// loader's helper stops: at the first descriptor without a module name.
template <typename Source, typename Locate>
int WalkDelayDescriptors(Source& source, std::uint64_t first, std::uint32_t imageBase, Locate&& locate,
                         const ImportNameSink& sink)
{
    int count = 0;
    for (std::uint64_t at = first;; at += kDelayDescriptorSize)
    {
        std::uint32_t attributes = 0;
        std::uint32_t name = 0;
        ByteSpan descriptor = source.Fetch(at, kDelayDescriptorSize);
        if (!ReadU32(descriptor, 0, attributes) || !ReadU32(descriptor, kDelayNameOffset, name))
            return -1;
        if (name == 0)
            return count;
        if (!TakeName(source, locate, attributes & kDelayAttributesRva ? name : name - imageBase, sink,
                      LinkKind::DelayLoadImport, count))
            return -1;
    }
}

// The import directory, then the delay-load directory, each through the section that
// holds it; an import directory that starts the ".idata" section is walked as the
// ".idata" reading walks it.
template <typename Source>
int WalkDirectories(Source& source, const PeHeaders& pe, bool startsIdata, std::uint64_t idataRaw,
                    std::uint32_t delta, const ImportNameSink& sink)
{
    SectionMap<Source> sections(source, pe);
    std::uint64_t first = 0;
    int imports = 0;
    if (startsIdata)
        imports = WalkDescriptors(source, idataRaw, IdataDelta{delta}, sink);
    else if (pe.importRva != 0)
        imports = sections(pe.importRva, first) ? WalkDescriptors(source, first, sections, sink) : -1;
    if (imports < 0 || pe.delayImportRva == 0)
        return imports;
    int delayed = sections(pe.delayImportRva, first)
                      ? WalkDelayDescriptors(source, first, pe.imageBase, sections, sink)
                      : -1;
    return delayed < 0 ? -1 : imports + delayed;
}

template <typename Source>
int ParseImportsFrom(Source& source, ImportReading reading, const ImportNameSink& sink, bool& unreadTables)
{
    unreadTables = false;
    PeHeaders pe;
    if (!ReadPeHeaders(source, pe))
        return -1;
    const bool readable = IsReadablePe(pe);
    if (reading == ImportReading::ImportDirectories && !readable)
        return -1;

    std::uint64_t section = 0;
    int found = FindImportSection(source, pe.sectionTable, pe.sectionCount, section);
    if (found < 0)
        return -1;
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawData = 0;
    if (found && (!FetchU32(source, section + kSectionAddressOffset, virtualAddress) ||
                  !FetchU32(source, section + kSectionRawDataOffset, rawData)))
        return -1;
    const bool startsIdata = found && pe.importRva == virtualAddress;
    if (reading == ImportReading::ImportDirectories)
        return WalkDirectories(source, pe, startsIdata, rawData, virtualAddress - rawData, sink);

    unreadTables = readable && ((pe.importRva != 0 && !startsIdata) || pe.delayImportRva != 0);
    return found ? WalkDescriptors(source, rawData, IdataDelta{virtualAddress - rawData}, sink) : 0;
}

} // namespace

std::string_view ReduceModuleName(std::string_view name)
{
    if (name.size() >= 2 && name[1] == ':')
        name.remove_prefix(2);
    std::size_t separator = name.find_last_of("\\/");
    if (separator != std::string_view::npos)
        name.remove_prefix(separator + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name.remove_suffix(name.size() - dot);
    return name.substr(0, kMaxModuleName);
}

int ParseImports(ByteSpan bytes, ImportReading reading, const ImportNameSink& sink, bool& unreadTables)
{
    SpanSource source(bytes);
    return ParseImportsFrom(source, reading, sink, unreadTables);
}

int ParseImports(PagedBytes& bytes, ImportReading reading, const ImportNameSink& sink, bool& unreadTables)
{
    return ParseImportsFrom(bytes, reading, sink, unreadTables);
}
