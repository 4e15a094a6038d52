// The executable import reader: the imported module names of a 32-bit Portable
// Executable, added to a name list. Parsing is the portable core's
// (engine/pe_imports.h, which also says how malformed files are answered); this side
// only types, opens and maps the file.
#pragma once

struct NameList;

// Adds the module names of the import descriptors at the start of the file's ".idata"
// section to list, each reduced to its file-name part without extension, duplicates
// included. Answers -1 when the common library does not type the file as a 32-bit
// Portable Executable (the file is then not opened), when it cannot be opened or
// mapped, or when its headers, a descriptor or a name do not lie inside it (names
// added before that stay in list); 0 when it has no ".idata" section or no
// descriptors; else the number of names added. path is the file's short full path.
int ReadImports(NameList& list, const char* path);

// ReadImports without asking the common library for the file's type: for a caller
// that has typed the file already, and for tests of the mapping itself.
int ReadMappedImports(NameList& list, const char* path);
