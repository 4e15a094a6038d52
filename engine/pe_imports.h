// The import names of a 32-bit Portable Executable, read from its bytes alone: the
// portable half of ReadImports (engine/import_reader.h maps the file and calls this).
//
// Only the descriptors at the start of the first section named ".idata" are read, as
// the GNU linker and the linkers of the 1990s lay them out; the optional header's data
// directories are not used. Every read is checked against the length of the bytes.
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
#include <functional>
#include <string_view>

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

// Receives the reduced name of every descriptor as it is read, in descriptor order.
// The view lies in the bytes parsed and is valid during the call only: a file read in
// pages gives up the page it lies in soon after.
using ImportNameSink = std::function<void(std::string_view name)>;

// Hands on the reduced name of every import descriptor at the start of the first
// ".idata" section of bytes, duplicates included; the raw name each comes from ends
// with a zero inside bytes. Answers -1 when bytes are not a readable PE file or a
// descriptor or name runs past their end (names handed on before that stand), 0 when
// there is no ".idata" section or its first descriptor is the terminator, else the
// number of names handed on. Nothing is gathered: any number of descriptors costs the
// same memory.
int ParseImports(ByteSpan bytes, const ImportNameSink& sink);
// The same over a file read where it is looked at.
int ParseImports(PagedBytes& bytes, const ImportNameSink& sink);
