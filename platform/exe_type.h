// Executable typing from header bytes: the portable decision behind QemGetExeType.
#pragma once

#include "platform/pe_bytes.h"

#include <cstddef>
#include <cstdint>
#include <functional>

enum class ExeType
{
    None,     // no MZ signature
    Dos,      // MZ without a recognised new header
    Ne,       // "NE" at e_lfanew
    Pe32,     // "PE\0\0" at e_lfanew and the PE32 optional-header magic 0x10B
    Pe32Plus, // the same with the PE32+ magic 0x20B
    Other,    // "LE" or "LX", or a PE signature without a known magic inside the file
};

// The first read of a file. It holds the new header of nearly every linker's output as
// well (e_lfanew lies below 0x100 as a rule), so most files are typed with one read.
inline constexpr std::size_t kExeHeadBytes = 512;

// What the decision reads at e_lfanew: the PE signature, the COFF file header and the
// optional header's magic.
inline constexpr std::size_t kNewHeaderBytes = 26;

// The offset of an MZ image's new header (e_lfanew), or false when head is no MZ image
// or ends before e_lfanew.
bool FindNewHeader(ByteSpan head, std::uint32_t& offset);

// The type from a file's first bytes and up to kNewHeaderBytes read at e_lfanew (fewer
// or none when the file ends sooner).
ExeType ClassifyExe(ByteSpan head, ByteSpan newHeader);

// The same over all of a file's bytes.
ExeType ClassifyExeImage(ByteSpan file);

// Reads up to kNewHeaderBytes at offset (fewer when the file ends sooner).
using NewHeaderReader = std::function<ByteSpan(std::uint32_t offset)>;

// The whole decision from the first kExeHeadBytes of a file (fewer when it is shorter):
// the new header is read only when e_lfanew points beyond them.
ExeType ClassifyFileStart(ByteSpan head, const NewHeaderReader& readNewHeader);
