// What the module search found in the directories that follow the current one, kept
// while a scan runs (scan_memory.h). Win32.
#pragma once

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/api_set_schema.h"
#include "engine/directory_listing.h"
#include "engine/held_files.h"

// What one stretch of the search order holds under a file name: nothing, the file, or
// something by that name that is no file, which ends the search there as it stands.
struct ModuleHit
{
    enum Kind
    {
        Absent,
        File,
        Blocked,
    } kind = Absent;
    std::string path;
};

// A directory of the search order after the current one, listed once a scan.
struct SearchDirectory
{
    std::string path;
    bool listed = false;
    bool answers = false; // the listing answers every listable name
    DirectoryListing listing;
};

// During a scan the program's directory and the fixed directories do not change: each
// is listed once, and what the stretch holds under a name is kept. The current
// directory is looked up in the walk's listing of it. Between scans nothing is kept:
// files come and go.
struct ModuleLookups
{
    bool prepared = false;
    bool apiSetsRead = false;
    ApiSetSchema apiSets; // the machine's, read at the first API set's name
    std::vector<SearchDirectory> program;
    // By world: the Parts' search, then 32-bit and 64-bit importers', each with its own
    // system directory. A world's answers are kept under the name and the world.
    std::array<std::vector<SearchDirectory>, 3> fixed;
    std::unordered_map<std::string, ModuleHit> programHits;
    std::unordered_map<std::string, ModuleHit> fixedHits;
    HeldFiles typedFiles; // typed by the search, kept for their examination
};
