// Where the fields of a Portable Executable (PE32, and PE32+ for 64-bit files) lie, and the reads every PE
// reader of the core shares: the header block, the data directories and the section that maps an RVA to a
// file offset. Each reader reads through a Source, a span held whole or a file read a page at a time
// (engine/paged_bytes.h), and every read is checked against the length of the bytes. Portable.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/pe_bytes.h"

namespace pe_layout
{

inline constexpr std::uint16_t kMzMagic = 0x5A4D;         // "MZ"
inline constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"
inline constexpr std::uint64_t kLfanewOffset = 0x3C;
// Signature, file header and a PE32 optional header, read as one block; the section
// table is taken to follow it whatever SizeOfOptionalHeader says.
inline constexpr std::uint64_t kPeHeadersSize = 248;
inline constexpr std::uint64_t kMachineOffset = 4;
inline constexpr std::uint64_t kSectionCountOffset = 6;
inline constexpr std::uint64_t kOptionalSizeOffset = 20;
// Fields of the PE32 optional header, from h; all lie inside the 248-byte block.
inline constexpr std::uint64_t kOptionalMagicOffset = 24;
inline constexpr std::uint16_t kPe32Magic = 0x10B;
inline constexpr std::uint64_t kImageBaseOffset = 24 + 28;
inline constexpr std::uint64_t kDirectoryCountOffset = 24 + 92;
inline constexpr std::uint64_t kDirectoriesOffset = 24 + 96;
// PE32+ has no BaseOfData and an 8-byte ImageBase: its counts and directories lie 16
// bytes further on, and its optional header with all 16 directories is 240 bytes long.
inline constexpr std::uint16_t kPe32PlusMagic = 0x20B;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint64_t kPe32PlusImageBaseOffset = 24 + 24;
inline constexpr std::uint64_t kPe32PlusShift = 16;
inline constexpr std::uint16_t kPe32PlusOptionalSize = 240;
inline constexpr std::uint32_t kImportDirectory = 1;
inline constexpr std::uint32_t kDelayImportDirectory = 13;
inline constexpr std::uint32_t kExportDirectory = 0;
inline constexpr std::uint32_t kResourceDirectory = 2;
inline constexpr std::uint32_t kClrDirectory = 14;
inline constexpr std::uint64_t kSectionHeaderSize = 40;
inline constexpr std::uint64_t kSectionVirtualSizeOffset = 8;
inline constexpr std::uint64_t kSectionAddressOffset = 12;
inline constexpr std::uint64_t kSectionRawSizeOffset = 16;
inline constexpr std::uint64_t kSectionRawDataOffset = 20;

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

// What the parse takes from the 248-byte header block, read while the block is at hand.
struct PeHeaders
{
    std::uint64_t sectionTable = 0;
    std::uint16_t sectionCount = 0;
    std::uint16_t optionalMagic = 0;
    std::uint16_t machine = 0;
    std::uint32_t imageBase = 0;      // PE32+: its low half, which is all a 32-bit address subtracts
    std::uint32_t importRva = 0;      // data directory 1; 0 when empty or not declared
    std::uint32_t delayImportRva = 0; // data directory 13; the same
    std::uint32_t exportRva = 0;      // data directory 0; the same
    std::uint32_t exportSize = 0;     // its size, which tells forwarders from code
    std::uint32_t resourceRva = 0;    // data directory 2
    std::uint32_t clrRva = 0;         // data directory 14: the CLR header of a managed file
};

// A directory counts when the header declares it (NumberOfRvaAndSizes), as the loader
// reads it; an RVA of 0 is an empty directory, whatever its size says.
inline std::uint32_t DirectoryRva(ByteSpan block, std::uint64_t directories, std::uint32_t declared,
                                  std::uint32_t index)
{
    std::uint32_t rva = 0;
    if (index < declared)
        ReadU32(block, directories + 8 * std::uint64_t{index}, rva);
    return rva;
}

// Whether headers that ReadPeHeaders took are of a file the readers take: PE32, or
// PE32+ (which ReadPeHeaders takes only for x64, with room for every directory).
inline bool IsReadablePe(const PeHeaders& pe)
{
    return pe.optionalMagic == kPe32Magic || pe.optionalMagic == kPe32PlusMagic;
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
        !ReadU16(block, kMachineOffset, pe.machine))
        return false;
    std::uint64_t shift = 0;
    pe.sectionTable = std::uint64_t{headers} + kPeHeadersSize;
    if (pe.optionalMagic == kPe32PlusMagic)
    {
        std::uint16_t optionalSize = 0;
        shift = kPe32PlusShift;
        block = source.Fetch(headers, kPeHeadersSize + shift);
        if (!ReadU16(block, kOptionalSizeOffset, optionalSize) || optionalSize < kPe32PlusOptionalSize ||
            pe.machine != kMachineAmd64 || !ReadU32(block, kPe32PlusImageBaseOffset, pe.imageBase))
            return false;
        // The loader's rule, which no PE32 file of the Parts was held to.
        pe.sectionTable = std::uint64_t{headers} + kOptionalMagicOffset + optionalSize;
    }
    else if (!ReadU32(block, kImageBaseOffset, pe.imageBase))
        return false;
    if (!ReadU32(block, kDirectoryCountOffset + shift, declared))
        return false;
    const std::uint64_t directories = kDirectoriesOffset + shift;
    pe.importRva = DirectoryRva(block, directories, declared, kImportDirectory);
    pe.delayImportRva = DirectoryRva(block, directories, declared, kDelayImportDirectory);
    pe.exportRva = DirectoryRva(block, directories, declared, kExportDirectory);
    pe.resourceRva = DirectoryRva(block, directories, declared, kResourceDirectory);
    pe.clrRva = DirectoryRva(block, directories, declared, kClrDirectory);
    if (pe.exportRva != 0)
        ReadU32(block, directories + 8 * std::uint64_t{kExportDirectory} + 4, pe.exportSize);
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

} // namespace pe_layout
