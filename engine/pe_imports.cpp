#include "engine/pe_imports.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <cstdint>

namespace
{

constexpr std::uint16_t kMzMagic = 0x5A4D;         // "MZ"
constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr std::uint64_t kLfanewOffset = 0x3C;
// Signature, file header and a PE32 optional header, read as one block; the section
// table is taken to follow it whatever SizeOfOptionalHeader says.
constexpr std::uint64_t kPeHeadersSize = 248;
constexpr std::uint64_t kSectionCountOffset = 6;
// Fields of the PE32 optional header, from h; all lie inside the 248-byte block.
constexpr std::uint64_t kOptionalMagicOffset = 24;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint64_t kImageBaseOffset = 24 + 28;
constexpr std::uint64_t kDirectoryCountOffset = 24 + 92;
constexpr std::uint64_t kDirectoriesOffset = 24 + 96;
constexpr std::uint32_t kImportDirectory = 1;
constexpr std::uint32_t kDelayImportDirectory = 13;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kSectionVirtualSizeOffset = 8;
constexpr std::uint64_t kSectionAddressOffset = 12;
constexpr std::uint64_t kSectionRawSizeOffset = 16;
constexpr std::uint64_t kSectionRawDataOffset = 20;
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

// The bytes a parse looks at, from a span held whole.
class SpanSource
{
public:
    explicit SpanSource(ByteSpan bytes) : bytes_(bytes) {}
    std::uint64_t Size() const { return bytes_.size(); }
    ByteSpan Fetch(std::uint64_t offset, std::uint64_t n) const
    {
        return SpanHolds(bytes_, offset, n)
                   ? bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(n))
                   : ByteSpan();
    }

private:
    ByteSpan bytes_;
};

template <typename Source> bool FetchU16(Source& source, std::uint64_t offset, std::uint16_t& out)
{
    return ReadU16(source.Fetch(offset, 2), 0, out);
}

template <typename Source> bool FetchU32(Source& source, std::uint64_t offset, std::uint32_t& out)
{
    return ReadU32(source.Fetch(offset, 4), 0, out);
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

// What the parse takes from the 248-byte header block, read while the block is at hand.
struct PeHeaders
{
    std::uint64_t sectionTable = 0;
    std::uint16_t sectionCount = 0;
    std::uint16_t optionalMagic = 0;
    std::uint32_t imageBase = 0;
    std::uint32_t importRva = 0;      // data directory 1; 0 when empty or not declared
    std::uint32_t delayImportRva = 0; // data directory 13; the same
};

// A directory counts when the header declares it (NumberOfRvaAndSizes), as the loader
// reads it; an RVA of 0 is an empty directory, whatever its size says.
std::uint32_t DirectoryRva(ByteSpan block, std::uint32_t declared, std::uint32_t index)
{
    std::uint32_t rva = 0;
    if (index < declared)
        ReadU32(block, kDirectoriesOffset + 8 * std::uint64_t{index}, rva);
    return rva;
}

template <typename Source> bool ReadPeHeaders(Source& source, PeHeaders& pe)
{
    std::uint16_t magic = 0;
    if (!FetchU16(source, 0, magic) || magic != kMzMagic)
        return false;
    std::uint32_t headers = 0;
    std::uint32_t signature = 0;
    std::uint32_t declared = 0;
    if (!FetchU32(source, kLfanewOffset, headers))
        return false;
    ByteSpan block = source.Fetch(headers, kPeHeadersSize);
    if (!ReadU32(block, 0, signature) || signature != kPeSignature ||
        !ReadU16(block, kSectionCountOffset, pe.sectionCount) ||
        !ReadU16(block, kOptionalMagicOffset, pe.optionalMagic) ||
        !ReadU32(block, kImageBaseOffset, pe.imageBase) || !ReadU32(block, kDirectoryCountOffset, declared))
        return false;
    pe.sectionTable = std::uint64_t{headers} + kPeHeadersSize;
    pe.importRva = DirectoryRva(block, declared, kImportDirectory);
    pe.delayImportRva = DirectoryRva(block, declared, kDelayImportDirectory);
    return true;
}

// The file offset of an RVA through the first section that holds it, as the loader maps
// it. The section found last is tried first: a table's names lie beside the table.
template <typename Source> class SectionMap
{
public:
    SectionMap(Source& source, const PeHeaders& pe) : source_(source), pe_(pe) {}

    // False when no section holds rva, or a section header looked at is cut.
    bool operator()(std::uint32_t rva, std::uint64_t& offset)
    {
        if (!found_ || !Within(rva))
        {
            found_ = false;
            for (std::uint64_t i = 0; i < pe_.sectionCount && !found_; i++)
            {
                ByteSpan header =
                    source_.Fetch(pe_.sectionTable + kSectionHeaderSize * i, kSectionHeaderSize);
                std::uint32_t virtualSize = 0;
                std::uint32_t rawSize = 0;
                if (!ReadU32(header, kSectionVirtualSizeOffset, virtualSize) ||
                    !ReadU32(header, kSectionAddressOffset, address_) ||
                    !ReadU32(header, kSectionRawSizeOffset, rawSize) ||
                    !ReadU32(header, kSectionRawDataOffset, raw_))
                    return false;
                span_ = std::max(virtualSize, rawSize);
                found_ = Within(rva);
            }
            if (!found_)
                return false;
        }
        offset = std::uint64_t{raw_} + (rva - address_);
        return true;
    }

private:
    bool Within(std::uint32_t rva) const { return rva >= address_ && rva - address_ < span_; }

    Source& source_;
    const PeHeaders& pe_;
    bool found_ = false;
    std::uint32_t address_ = 0;
    std::uint32_t span_ = 0;
    std::uint32_t raw_ = 0;
};

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
bool TakeName(Source& source, Locate& locate, std::uint32_t rva, const ImportNameSink& sink, int& count)
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
    sink(ReduceModuleName(name));
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
        if (!TakeName(source, locate, nameRva, sink, count))
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
                      count))
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
    const bool pe32 = pe.optionalMagic == kPe32Magic;
    if (reading == ImportReading::ImportDirectories && !pe32)
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

    unreadTables = pe32 && ((pe.importRva != 0 && !startsIdata) || pe.delayImportRva != 0);
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
