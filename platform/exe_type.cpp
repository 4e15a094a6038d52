#include "platform/exe_type.h"

#include <algorithm>

namespace
{

constexpr std::uint32_t kDosLfanewOffset = 0x3C;
constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"
// The signature and the 20-byte COFF file header precede the optional header.
constexpr std::uint32_t kOptionalMagicOffset = 4 + 20;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;

bool HasSignature(ByteSpan bytes, char first, char second)
{
    return bytes.size() >= 2 && bytes[0] == static_cast<std::uint8_t>(first) &&
           bytes[1] == static_cast<std::uint8_t>(second);
}

ExeType ClassifyNewHeader(ByteSpan header)
{
    std::uint32_t signature;
    if (ReadU32(header, 0, signature) && signature == kPeSignature)
    {
        std::uint16_t magic;
        if (!ReadU16(header, kOptionalMagicOffset, magic))
            return ExeType::Other;
        if (magic == kMagicPe32)
            return ExeType::Pe32;
        return magic == kMagicPe32Plus ? ExeType::Pe32Plus : ExeType::Other;
    }
    if (HasSignature(header, 'N', 'E'))
        return ExeType::Ne;
    if (HasSignature(header, 'L', 'E') || HasSignature(header, 'L', 'X'))
        return ExeType::Other;
    // A plain DOS program's bytes at 0x3C are code or data, so anything else there
    // means no new header at all.
    return ExeType::Dos;
}

} // namespace

bool FindNewHeader(ByteSpan head, std::uint32_t& offset)
{
    return HasSignature(head, 'M', 'Z') && ReadU32(head, kDosLfanewOffset, offset);
}

ExeType ClassifyExe(ByteSpan head, ByteSpan newHeader)
{
    if (!HasSignature(head, 'M', 'Z'))
        return ExeType::None;
    std::uint32_t offset;
    if (!FindNewHeader(head, offset))
        return ExeType::Dos;
    return ClassifyNewHeader(newHeader);
}

ExeType ClassifyExeImage(ByteSpan file)
{
    std::uint32_t offset;
    if (!FindNewHeader(file, offset) || !SpanHolds(file, offset, 0))
        return ClassifyExe(file, {});
    return ClassifyExe(file, file.subspan(offset).first(std::min(kNewHeaderBytes, file.size() - offset)));
}

ExeType ClassifyFileStart(ByteSpan head, const NewHeaderReader& readNewHeader)
{
    std::uint32_t offset;
    if (!FindNewHeader(head, offset))
        return ClassifyExe(head, {});
    // A short head is the whole file: nothing lies beyond it to read.
    if (head.size() < kExeHeadBytes || SpanHolds(head, offset, kNewHeaderBytes))
        return ClassifyExeImage(head);
    return ClassifyExe(head, readNewHeader(offset));
}
