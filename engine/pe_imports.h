// The import names of a 32-bit Portable Executable, read from its bytes alone: the
// portable half of ReadImports (engine/import_reader.h maps the file and calls this).
//
// Two readings. The default reads only the descriptors at the start of the first
// section named ".idata", as the GNU linker and the linkers of the 1990s lay them out,
// and uses the optional header's data directories only to tell whether the file has
// import tables it passed over. The other reads the import directory (data directory
// 1) and the delay-load import directory (13) wherever the linker put them, as
// Microsoft's and LLVM's linkers merge them into ".rdata"; a file whose import
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
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/paged_bytes.h"
#include "engine/pe_bytes.h"

// Longest module name handed on, in characters: what is left after the reduction.
constexpr std::size_t kMaxModuleName = 255;
// Bytes of a module name searched for its terminating zero.
constexpr std::size_t kModuleNameScan = 260;

// The file-name part of a module name as an import descriptor stores it: without a
// leading "X:" drive, without everything up to the last '\' or '/', without the last
// '.' and what follows it, at most kMaxModuleName characters. A view into name.
std::string_view ReduceModuleName(std::string_view name);

enum class ImportReading
{
    IdataSection,      // the descriptors at the start of the first ".idata" section
    ImportDirectories, // data directories 1 and 13: imports, then delay-load imports
};

// Appends to names the reduced name of every import descriptor that reading finds in
// bytes, in descriptor order, duplicates included; each name is a view into bytes, and
// the raw name it comes from ends with a zero inside bytes. Answers -1 when bytes are
// not a readable PE file or a descriptor or name runs past their end (names appended
// before that stay), 0 when there are no descriptors to read, else the number of names
// appended. unreadTables tells whether the file has an import or delay-load directory
// that reading passed over (only the ".idata" reading passes any over).
int ParseImports(ByteSpan bytes, ImportReading reading, std::vector<std::string_view>& names,
                 bool& unreadTables);
// The same over a file read where it is looked at; the names are views into bytes.
int ParseImports(PagedBytes& bytes, ImportReading reading, std::vector<std::string_view>& names,
                 bool& unreadTables);
