// The DLLs to which a 32-bit Portable Executable's export directory forwards entries:
// an exported function whose address lies inside the export directory itself is no
// code but the text "MODULE.name" or "MODULE.#ordinal", and the loader loads MODULE to
// find it. Read from the bytes alone, through the same layout as the import reader
// (engine/pe_layout.h).
//
// Cases the file format leaves open, and what is done with them:
// - The module is what precedes the last '.' of the text, as the loader splits it; a
//   text without a '.' or without a zero within its first 260 bytes names nothing.
// - Only the first 65536 entries of the address table are read: an ordinal has 16
//   bits, so no loader reaches further. Each module is handed on once (ASCII case
//   ignored), and at most kMostForwardedModules of them: a crafted table cannot make
//   the reader hold more.
// - Anything the end of the bytes cuts, or an RVA no section holds: -1, the modules
//   handed on before that stand.
#pragma once

#include <cstddef>

#include "engine/paged_bytes.h"
#include "engine/pe_imports.h"

constexpr std::size_t kMostForwardedModules = 4096;

// Hands on each module that bytes' export directory forwards to, in the order of the
// address table. Answers -1 when bytes are not a readable PE32 or PE32+ file or the directory
// runs past their end, 0 when there is no export directory or no forwarder, else the
// number of modules handed on. The view is valid during the call only.
int ParseForwarders(ByteSpan bytes, const ImportNameSink& sink);
int ParseForwarders(PagedBytes& bytes, const ImportNameSink& sink);
