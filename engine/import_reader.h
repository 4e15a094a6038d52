// The executable import reader: the imported module names of a Portable Executable
// (32-bit, and 64-bit when asked), added to a name list. Parsing is the portable core's
// (engine/pe_imports.h, which also says how malformed files are answered); this side
// only opens the file, types it and reads the pages the parse looks at. A file costs
// a few pages of memory whatever its size and however many descriptors it holds.
#pragma once

#include "engine/paged_bytes.h"
#include "engine/pe_imports.h"

struct NameList;

// A reading and the files it takes: PE32 alone, as the Parts have it, or PE32+ too.
struct ExeReading
{
    ImportReading imports = ImportReading::IdataSection;
    bool take64 = false;
};

// Reads a file the caller has opened (file is its HANDLE) for a parse over PagedBytes.
PagedBytes::Reader FilePageReader(void* file);
// The bytes of a file the caller has opened, read as FilePageReader reads them; none
// when it is empty or no disk file. Every reader of one examination shares them, so
// that the file is typed and its headers are read once.
PagedBytes FileBytes(void* file);

// The file's width as the common library types it, from its headers: 32 (PE32), 64
// (PE32+) or 0. file is a HANDLE the caller opened; the read moves its position.
int ReadExeWidth(void* file);

// Hands the module name of every import descriptor that reading finds in the file to
// sink as it is read, reduced to its file-name part without extension, duplicates
// included; with the import directories read (the modern reading), then each module
// the export directory forwards to (engine/pe_exports.h). Answers -1 when the file is not
// typed as a 32-bit Portable Executable (as the common library types it; a 64-bit one
// too when reading takes it), when it cannot be opened or read, or when its headers, a descriptor or a name
// do not lie inside it (names handed on before that stand); 0 when it has no descriptors to read; else the
// number of names read. path is the file's short full path. bits, when given, is as ReadImportsFrom gives it.
int ReadImports(const char* path, ExeReading reading, const ImportNameSink& sink, int* bits = nullptr,
                bool* managed = nullptr);

// The same over the bytes of a file the caller has opened (FileBytes), which the caller
// may go on reading: the reads move its file position. unreadTables tells
// whether the file has import tables that this reading passed over; bits is 32 or 64
// for a file read, and 64 for a well-formed 64-bit file that reading does not take
// (answered -1); else 0. managed, when given, tells whether it has a CLR header
// (engine/clr_metadata.h).
int ReadImportsFrom(PagedBytes& bytes, ExeReading reading, const ImportNameSink& sink, bool& unreadTables,
                    int& bits, bool* managed = nullptr);

// Whether the export directory of the file (its bytes, as for ReadImportsFrom) forwards
// entries: for a reading that does not follow forwarders to count such files.
bool ForwardsExports(PagedBytes& bytes);

// The scan's reading: the names go to list without the repeats that would only be
// resolved again (engine/distinct_names.h); the answer still counts every name read.
int ReadImports(NameList& list, const char* path, ExeReading reading = {}, int* bits = nullptr,
                bool* managed = nullptr);
int ReadImportsFrom(NameList& list, PagedBytes& bytes, ExeReading reading, bool& unreadTables, int& bits,
                    bool* managed = nullptr);
