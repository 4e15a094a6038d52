// Bounds-checked little-endian reads over a file's bytes. Every read of a PE
// header or table goes through these, so no malformed file can lead a reader
// outside the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

using ByteSpan = std::span<const std::uint8_t>;

// True when the n bytes at offset lie inside bytes (no overflow on huge offsets).
inline bool SpanHolds(ByteSpan bytes, std::uint64_t offset, std::uint64_t n)
{
    return offset <= bytes.size() && n <= bytes.size() - offset;
}

inline bool ReadU16(ByteSpan bytes, std::uint64_t offset, std::uint16_t& out)
{
    if (!SpanHolds(bytes, offset, 2))
        return false;
    out = static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
    return true;
}

inline bool ReadU32(ByteSpan bytes, std::uint64_t offset, std::uint32_t& out)
{
    if (!SpanHolds(bytes, offset, 4))
        return false;
    out = static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
          static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
          static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
    return true;
}
