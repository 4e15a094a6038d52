// The executable import reader: the imported module names of a 32-bit Portable
// Executable, added to a name list. Parsing is the portable core's
// (engine/pe_imports.h, which also says how malformed files are answered); this side
// only opens the file, types it and reads the pages the parse looks at. A file costs
// a few pages of memory whatever its size and however many descriptors it holds.
#pragma once

#include "engine/paged_bytes.h"
#include "engine/pe_imports.h"

struct NameList;

// Reads a file the caller has opened (file is its HANDLE) for a parse over PagedBytes.
PagedBytes::Reader FilePageReader(void* file);

// Hands the module name of every import descriptor that reading finds in the file to
// sink as it is read, reduced to its file-name part without extension, duplicates
// included; with the import directories read (the modern reading), then each module
// the export directory forwards to (engine/pe_exports.h). Answers -1 when the file is not typed as a 32-bit
// Portable Executable (as the common library types it), when it cannot be opened or read, or when its
// headers, a descriptor or a name do not lie inside it (names handed on before that
// stand); 0 when it has no descriptors to read; else the number of names read. path
// is the file's short full path.
int ReadImports(const char* path, ImportReading reading, const ImportNameSink& sink);

// The same over a file the caller has opened for reading (file is its HANDLE), which
// the caller may go on reading: the reads move its file position. unreadTables tells
// whether the file has import tables that this reading passed over; managed, when
// given, whether it has a CLR header (engine/clr_metadata.h).
int ReadImportsFrom(void* file, ImportReading reading, const ImportNameSink& sink, bool& unreadTables,
                    bool* managed = nullptr);

// The scan's reading: the names go to list without the repeats that would only be
// resolved again (engine/distinct_names.h); the answer still counts every name read.
int ReadImports(NameList& list, const char* path, ImportReading reading = ImportReading::IdataSection,
                bool* managed = nullptr);
int ReadImportsFrom(NameList& list, void* file, ImportReading reading, bool& unreadTables,
                    bool* managed = nullptr);
