// The other-format reference scanner: module names written anywhere in a file's
// bytes, added to a name list. The search itself, its name rules and its chunk
// overlap are the portable core's (engine/module_names.h); this side opens and reads
// the file, keeps the window alive and honours Stop.
#pragma once

#include "engine/module_names.h"

struct NameList;

// Reads the file at path in chunks and adds every module name found in front of a
// ".DLL" to list: for kind 0 (other file format) the upper-case name with ".DLL",
// possibly with drive and directory; for kinds 1 (executable) and 2 (DLL) the bare
// upper-case name of at most 8 characters, or the modern reading's names (forms);
// repeats are held once
// (engine/distinct_names.h). One pump step runs before every chunk; when
// the scanning flag no longer has the value it had on entry, the file is closed and
// the answer is 0 (names added so far stay). A file that cannot be opened answers 0,
// reported through QemError unless quiet is set. Otherwise 1 when at least one name
// was added, else 0.
int ScanForModuleNames(NameList& list, const char* path, int quiet, int kind,
                       ProgramNames forms = ProgramNames::EightCharacters);

// The same search, kinds 1 and 2 only, over a file the caller has opened for reading
// (file is its HANDLE), from its first byte, quietly. For these kinds the names found
// do not depend on where the reads end (engine/module_names.h), so the file is read in
// large blocks.
int ScanFileForModuleNames(NameList& list, void* file, int kind, ProgramNames forms);
