#include "engine/pe_imports.h"

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
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kSectionAddressOffset = 12;
constexpr std::uint64_t kSectionRawDataOffset = 20;
constexpr std::uint64_t kDescriptorSize = 20;
constexpr std::uint64_t kDescriptorStampOffset = 4;
constexpr std::uint64_t kDescriptorNameOffset = 12;

enum class NameRead
{
    Found,
    Unterminated, // 260 bytes inside the file, none of them zero
    Cut,          // the end of the file comes first
};

std::uint8_t LowerAscii(std::uint8_t c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<std::uint8_t>(c - 'A' + 'a') : c;
}

// Section names are 8 bytes, zero-padded only when shorter, so the comparison stops at
// the first zero on either side: ".idata\0x" matches, ".idata2" does not.
bool IsImportSectionName(ByteSpan name)
{
    static constexpr char kImportSection[8] = ".idata";
    for (std::size_t i = 0; i < sizeof kImportSection; i++)
    {
        std::uint8_t c = LowerAscii(name[i]);
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

// Walks the descriptors from file offset first. Every name is located with the import
// section's own RVA-to-offset mapping (delta), wherever it lies: the linkers that write
// an .idata section put the names inside it, and a file that points elsewhere is read
// the same way rather than mapped section by section.
template <typename Source>
int WalkDescriptors(Source& source, std::uint64_t first, std::uint32_t delta,
                    std::vector<std::string_view>& names)
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

        std::string_view name;
        switch (ReadModuleName(source, static_cast<std::uint32_t>(nameRva - delta), name))
        {
        case NameRead::Cut: return -1;
        case NameRead::Unterminated: break;
        case NameRead::Found:
            names.push_back(ReduceModuleName(name));
            count++;
            break;
        }
    }
}

template <typename Source> int ParseImportsFrom(Source& source, std::vector<std::string_view>& names)
{
    std::uint16_t magic = 0;
    if (!FetchU16(source, 0, magic) || magic != kMzMagic)
        return -1;

    std::uint32_t headers = 0;
    std::uint32_t signature = 0;
    std::uint16_t sectionCount = 0;
    if (!FetchU32(source, kLfanewOffset, headers))
        return -1;
    ByteSpan peHeaders = source.Fetch(headers, kPeHeadersSize);
    if (!ReadU32(peHeaders, 0, signature) || signature != kPeSignature ||
        !ReadU16(peHeaders, kSectionCountOffset, sectionCount))
        return -1;

    std::uint64_t section = 0;
    int found = FindImportSection(source, std::uint64_t{headers} + kPeHeadersSize, sectionCount, section);
    if (found <= 0)
        return found;

    std::uint32_t virtualAddress = 0;
    std::uint32_t rawData = 0;
    if (!FetchU32(source, section + kSectionAddressOffset, virtualAddress) ||
        !FetchU32(source, section + kSectionRawDataOffset, rawData))
        return -1;
    return WalkDescriptors(source, rawData, virtualAddress - rawData, names);
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

int ParseImports(ByteSpan bytes, ImportReading, std::vector<std::string_view>& names, bool& unreadTables)
{
    unreadTables = false;
    SpanSource source(bytes);
    return ParseImportsFrom(source, names);
}

int ParseImports(PagedBytes& bytes, ImportReading, std::vector<std::string_view>& names, bool& unreadTables)
{
    unreadTables = false;
    return ParseImportsFrom(bytes, names);
}
