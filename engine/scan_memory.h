// What a scan learns of the machine as it runs, kept for that scan only: files come and
// go between scans. One value, which the scan driver forgets at a scan's start and end.
#pragma once

#include "engine/assembly_store.h"
#include "engine/directory_listing.h"
#include "engine/library_links.h"
#include "engine/managed_store.h"
#include "engine/module_lookups.h"

struct ScanMemory
{
    ModuleLookups modules;        // the module search past the current directory
    LibraryRecords libraries;     // what each DLL the walk examined refers to
    NamedDirectories directories; // listings of the directories that named files lie in
    AssemblyStore assemblies;     // the side-by-side store, and the examined file's context
    ManagedStore managed;         // the .NET probing folders and assembly caches
};

extern ScanMemory g_scanMemory;

void ForgetScanMemory();
