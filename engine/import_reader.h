// The executable import reader: the imported module names of a 32-bit Portable
// Executable, added to a name list. Parsing is the portable core's
// (engine/pe_imports.h, which also says how malformed files are answered); this side
// only opens the file, types it and reads the pages the parse looks at.
#pragma once

#include "engine/pe_imports.h"

struct NameList;

// Adds the module names of the file's import descriptors, found as reading says, to
// list, each reduced to its file-name part without extension, duplicates included.
// Answers -1 when the file is not typed as a 32-bit Portable Executable (as the common
// library types it), when it cannot be opened or read, or when its headers, a
// descriptor or a name do not lie inside it (names added before that stay in list);
// 0 when it has no descriptors to read; else the number of names added. path is the
// file's short full path.
int ReadImports(NameList& list, const char* path, ImportReading reading = ImportReading::IdataSection);

// The same over a file the caller has opened for reading (file is its HANDLE), which
// the caller may go on reading: the reads move its file position. unreadTables tells
// whether the file has import tables that this reading passed over.
int ReadImportsFrom(NameList& list, void* file, ImportReading reading, bool& unreadTables);
