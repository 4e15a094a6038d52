// The API set schema: the table, in the ".apiset" section of apisetschema.dll in the
// system directory, by which the loader maps a virtual module name ("api-ms-win-core-
// file-l1-1-0", "ext-ms-win-...") that no file bears to the DLL that hosts it. Read
// from the bytes alone through the PE layout (engine/pe_layout.h), in the three forms
// Windows has shipped: version 2 (Windows 7), 4 (8.1) and 6 (10 and later).
//
// What is kept of each set is its default host, the first value of its value list: the
// loader takes another value only for one named importer, which imports the default
// host itself. A set whose host is empty, or is itself a virtual name, is left out, so
// a lookup takes one step and a schema that maps sets onto each other cannot loop.
// Names are compared with ASCII case ignored; a name that is not plain ASCII, longer
// than a module name may be, or anywhere outside the section is left out; at most
// kMostApiSets sets are read. Portable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/paged_bytes.h"

constexpr std::size_t kMostApiSets = 16384;

struct ApiSetSchema
{
    int version = 0; // 2, 4 or 6; 0 when there is none
    // Version 6 compares a name up to its last '-' (the minor version may rise); the
    // older forms compare the whole name after its four-character prefix. Upper case.
    std::unordered_map<std::string, std::string> hosts;
};

// Reads the schema of an apisetschema.dll's bytes into schema. 1 when a schema of a
// known version was read, 0 when the file has none (no ".apiset" section, or another
// version), -1 when the bytes are no readable PE32 or PE32+ file or the schema's header is
// cut; sets read before a cut stand.
int ParseApiSetSchema(ByteSpan bytes, ApiSetSchema& schema);
int ParseApiSetSchema(PagedBytes& bytes, ApiSetSchema& schema);

// Whether a module name (reduced: no directory, no extension) is an API set's: it
// begins with "api-" or "ext-".
bool IsApiSetName(std::string_view module);
// The host DLL's file name ("kernelbase.dll") of module's set, or an empty view.
std::string_view ApiSetHost(const ApiSetSchema& schema, std::string_view module);
