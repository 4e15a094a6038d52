// What a front end hands the scan: the user's choices, read from the stored settings
// or from the command line. The engine reads no setting itself. Portable: no windows.h.
#pragma once

#include <vector>

#include "engine/filter_entry.h"

struct ScanInputs
{
    // The slots the walk applies in every directory, in order; an empty extension is
    // no entry.
    std::vector<FilterEntry> filters;
    // Quick Scan Only and Read Modern Links, each 0 or 1. Read at every file: the
    // window lets the user turn them while a scan runs, and a change applies from the
    // next file.
    const unsigned char* quickScan = nullptr;
    const unsigned char* modernLinks = nullptr;
    // Include 64-bit DLLs: PE32+ files are read too, each name resolves among the files
    // of its importer's width, and a 32-bit process on 64-bit Windows sees System32 as
    // it is. Fixed for a whole scan: it decides which files the walk sees.
    bool scan64 = false;
    // The drives to walk, a bit each (1 << 2 is C:); 0: every fixed drive but one that
    // is the host's root directory under Wine.
    unsigned drives = 0;
    // The stored filter list selected no program and the defaults stand in for it, which
    // the front ends say once.
    bool storedListPassedOver = false;
    // Without the modern reading, also count the links that cost reads of their own
    // (engine/unread_links.h): the registry, manifests, export directories.
    bool countUnreadLinks = false;
};
