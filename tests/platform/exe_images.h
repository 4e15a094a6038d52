// Byte images of executable headers for the typing tests, portable so that the core test
// and the Wine test build the same files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace exe_images
{

inline void PutU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    PutU16(bytes, at, static_cast<std::uint16_t>(value));
    PutU16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

// An MZ image of the given size with e_lfanew set; the rest is DOS code bytes (NOP).
inline std::vector<std::uint8_t> Mz(std::size_t size, std::uint32_t lfanew)
{
    std::vector<std::uint8_t> bytes(size, 0x90);
    bytes[0] = 'M';
    if (size > 1)
        bytes[1] = 'Z';
    if (size >= 0x40)
        PutU32(bytes, 0x3C, lfanew);
    return bytes;
}

// An MZ image with a two-letter new-header signature ("NE", "LE", "LX") at e_lfanew.
inline std::vector<std::uint8_t> WithSignature(std::uint32_t lfanew, std::string_view signature,
                                               std::size_t size)
{
    std::vector<std::uint8_t> bytes = Mz(size, lfanew);
    for (std::size_t i = 0; i < signature.size(); ++i)
        bytes[lfanew + i] = static_cast<std::uint8_t>(signature[i]);
    return bytes;
}

// An MZ image with "PE\0\0", an i386 file header and the optional header's magic at
// e_lfanew, followed by the rest of a PE32-sized optional header.
inline std::vector<std::uint8_t> Pe(std::uint32_t lfanew, std::uint16_t magic)
{
    std::vector<std::uint8_t> bytes =
        WithSignature(lfanew, std::string_view("PE\0\0", 4), lfanew + 24 + 0xE0);
    PutU16(bytes, lfanew + 4, 0x14C); // Machine
    PutU16(bytes, lfanew + 20, 0xE0); // SizeOfOptionalHeader
    PutU16(bytes, lfanew + 24, magic);
    return bytes;
}

inline constexpr std::uint16_t kMagicPe32 = 0x10B;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;
inline constexpr std::uint16_t kMagicRom = 0x107;

} // namespace exe_images
