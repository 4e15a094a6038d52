// The scan's shared state: the flags that every loop of a scan tests, and the
// name lists that hold its working sets and its answer.
#pragma once

#include "engine/module_names.h"
#include "engine/name_list.h"
#include "engine/import_reader.h"
#include "engine/pe_imports.h"
#include "engine/scan_inputs.h"
#include "engine/unread_links.h"

// 1 while a scan runs; clearing it is the stop request.
extern unsigned char g_scanning;
// What the front end handed BeginScan. Until a scan begins: no filter list, Quick Scan
// on and the ".idata" reading.
extern ScanInputs g_scanInputs;
// Quick Scan Only: no file's bytes are searched, only import tables count.
bool QuickScan();
// What this scan's reading passed over that the modern reading follows.
extern UnreadLinkCounts g_unreadLinks;
// What the last drive phase walked, and what fixed drives it left out as the host's
// root, a bit each (1 << 2 is C:).
extern unsigned g_walkedDrives;
extern unsigned g_hostRootDrives;
// Folders and files of this scan that exist but could not be opened (permissions): DLLs
// that something in them links to may be listed, which the front ends tell the user.
extern int g_unreadEntries;
// The import reading that Read Modern Links chooses: with it, the import reader takes
// the import and delay-load directories wherever the linker put them, not only the
// start of ".idata", and a DLL's export forwarders (engine/import_reader.h).
ImportReading ChosenImportReading();
// The same with the widths of executable the scan takes (Include 64-bit DLLs).
ExeReading ChosenExeReading();
// Well-formed 64-bit DLLs the library pass met and, without Include 64-bit DLLs, left
// out, which the front ends tell the user.
extern int g_leftOut64BitDlls;
// The width of the file whose names are resolved now, whose world they resolve in: 32
// or 64, or 0 (a file of neither, or the scan takes 32-bit files only): the Parts'
// search, every file found stands.
extern int g_namingBits;
// The names the byte search takes from programs and DLLs: the modern reading also
// takes long and UTF-16 ones.
ProgramNames ChosenProgramNames();

extern NameList g_resultList;   // every DLL found that the scan takes, less those found linked
extern NameList g_validLinks;   // DLLs referred to by executables and other files
extern NameList g_pendingLinks; // DLLs so far referred to only by DLLs
extern NameList g_fileRefs;     // scratch: module names of the file under examination
extern NameList g_textRefs;     // scratch: ".DLL" names found in an other-format file

// Whether the result list holds shortPath itself: FindPrefix finds by prefix.
bool IsListed(std::string_view shortPath);
