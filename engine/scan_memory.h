// What a scan learns of the machine as it runs, kept for that scan only: files come and
// go between scans. One value, which the scan driver forgets at a scan's start and end.
// What each DLL links to is kept in the link graph (link_graph.h): it outlives the scan
// to explain its answer.
#pragma once

#include "engine/assembly_store.h"
#include "engine/directory_listing.h"
#include "engine/managed_store.h"
#include "engine/module_lookups.h"

struct ScanMemory
{
    ModuleLookups modules;          // the module search past the current directory
    NamedDirectories directories;   // listings of the directories that named files lie in
    DirectoryListing listing;       // the walk's listing of the directory it stands in
    bool listed = false;            // whether listing is one
    bool examinedSinceSeen = false; // files were examined since the walk's directory was last seen
    AssemblyStore assemblies;       // the side-by-side store, and the examined file's context
    ManagedStore managed;           // the .NET probing folders and assembly caches
};

extern ScanMemory g_scanMemory;

void ForgetScanMemory();
