// The import names of a Portable Executable (PE32, or PE32+ for x64), read from its bytes alone: the
// portable half of ReadImports (engine/import_reader.h maps the file and calls this).
//
// Two readings. The default reads only the descriptors at the start of the first
// section named ".idata", as the GNU linker and the linkers of the 1990s lay them out,
// and looks at the optional header's data directories only to tell whether the file
// has import tables it passes over. The other reads the import directory (data
// directory 1) and then the delay-load import directory (13) wherever the linker put
// them, as Microsoft's and LLVM's linkers merge them into ".rdata"; a file whose import
// directory starts its ".idata" section is read exactly as the default reads it.
// Every read is checked against the length of the bytes.
//
// Cases the file format leaves open, and what is done with them:
// - No "MZ" at offset 0 (even if the common library typed the file as PE32): -1. The
//   file is not read further and callers treat it as no 32-bit executable.
// - A section table that runs past the end of the file: the headers before it are
//   searched; if a header that would be examined before a match is not wholly inside
//   the bytes, -1. A cut section table means the file is no loadable image, and -1
//   keeps such a DLL out of the result list, which is the safe side.
// - A module name with no zero within its first 260 bytes, all of them inside the
//   file: that descriptor's name is skipped (not added, not counted) and the walk goes
//   on. No loader accepts such a name, and giving up the file's other imports would
//   make the DLLs it does need look unlinked. A name that the end of the bytes cuts
//   before its zero (or before its 260th byte) is -1.
// With the import directories read:
// - An RVA (of a directory or of a name) is found in the first section of the table
//   that starts at or below it and whose larger of VirtualSize and SizeOfRawData
//   reaches beyond it; an RVA that no section holds is -1, as a name outside the file.
// - A directory beyond NumberOfRvaAndSizes, or of RVA 0, is empty; sizes are not used.
// - The delay-load table ends at the first descriptor whose name is 0, where the
//   loader's helper stops. A descriptor whose attributes lack bit 0 holds virtual
//   addresses (the first linkers that wrote the table): ImageBase is taken off its name.
// - A PE32+ file whose machine is not x64, or whose optional header is shorter than
//   the 240 bytes that hold every directory, or that the end of the file cuts: -1.
//   With the import directories read, a magic that is neither 0x10B nor 0x20B: -1.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "engine/link_kind.h"
#include "engine/paged_bytes.h"
#include "platform/pe_bytes.h"

// Longest module name handed on, in characters: what is left after the reduction.
constexpr std::size_t kMaxModuleName = 255;
// Bytes of a module name searched for its terminating zero.
constexpr std::size_t kModuleNameScan = 260;

// The file-name part of a module name as an import descriptor stores it: without a
// leading "X:" drive, without everything up to the last '\' or '/', without the last
// '.' and what follows it, at most kMaxModuleName characters. A view into name.
std::string_view ReduceModuleName(std::string_view name);

// Receives the reduced name of every descriptor as it is read, in descriptor order,
// with the kind of table that names it. The view lies in the bytes parsed and is valid
// during the call only: a file read in pages gives up the page it lies in soon after.
using ImportNameSink = std::function<void(std::string_view name, LinkKind kind)>;

enum class ImportReading
{
    IdataSection,      // the descriptors at the start of the first ".idata" section
    ImportDirectories, // data directories 1 and 13: imports, then delay-load imports
};

// Hands on the reduced name of every import descriptor that reading finds in bytes,
// in descriptor order, duplicates included; the raw name each comes from ends with a
// zero inside bytes. Answers -1 when bytes are not a readable PE file or a descriptor
// or name runs past their end (names handed on before that stand), 0 when there are no
// descriptors to read (with the ".idata" reading: no ".idata" section, or its first
// descriptor is the terminator), else the number of names handed on. Nothing is
// gathered: any number of descriptors costs the same memory. unreadTables tells
// whether bytes hold an import or delay-load directory that reading passed over (only
// the ".idata" reading passes any over).
int ParseImports(ByteSpan bytes, ImportReading reading, const ImportNameSink& sink, bool& unreadTables);
// The same over a file read where it is looked at.
int ParseImports(PagedBytes& bytes, ImportReading reading, const ImportNameSink& sink, bool& unreadTables);
