// What a managed (.NET) 32-bit Portable Executable links to through its CLR metadata:
// the assemblies it references (the AssemblyRef table), the native modules its P/Invoke
// declarations load (the ModuleRef rows that ImplMap rows name), and the modules of a
// multi-file assembly (the File table). Read from the bytes alone through the PE layout
// (engine/pe_layout.h): the CLR header (data directory 14), the metadata root, its
// table stream ("#~", or "#-" as edit-and-continue writes it) and its "#Strings" heap.
//
// Cases the format leaves open, and what is done with them:
// - Every stream must lie inside the metadata, and every table the reader passes over
//   or reads inside the table stream; a row count above 2^24 (a token's row has 24
//   bits) or tables that overrun their stream: -1. So a crafted count of millions costs
//   nothing, and a real one costs what its bytes hold.
// - A name outside the string heap, empty, or without a zero within its first 260
//   bytes is skipped; a P/Invoke row whose module index is 0 or past the ModuleRef
//   table is skipped. Each native module is handed on once (by row).
// - At most kMostClrRows rows of a table are read.
// Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "engine/paged_bytes.h"

constexpr std::uint32_t kMostClrRows = 65536;

enum class ClrName
{
    Assembly,     // an AssemblyRef's name; culture is its culture, empty when neutral
    NativeModule, // a ModuleRef that a P/Invoke declaration loads, as written
    File,         // a module of the assembly, by file name
};

// Receives each name; the views are valid during the call only.
using ClrNameSink = std::function<void(ClrName kind, std::string_view name, std::string_view culture)>;

// Whether bytes are a PE32 file with a CLR header: a managed file.
bool HasClrHeader(PagedBytes& bytes);

// Hands on the names of bytes' metadata: assembly references, native modules, then
// files, each in table order. Answers -1 when bytes are no readable PE32 file or the
// metadata does not lie inside them (names handed on before that stand), 0 when there
// is no CLR header, else the number of names handed on.
int ParseClrMetadata(ByteSpan bytes, const ClrNameSink& sink);
int ParseClrMetadata(PagedBytes& bytes, const ClrNameSink& sink);
