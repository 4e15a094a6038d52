// What the modern reading of managed files learns as a scan runs, kept for that scan
// only (scan_memory.h).
#pragma once

#include <string>
#include <vector>

struct ManagedStore
{
    // The privatePath folders of the programs' .config files in configFolder, the
    // folder whose files are being read: a folder's files are read one after another.
    bool configRead = false;
    std::string configFolder;
    std::vector<std::string> privatePaths;
    // The global assembly caches under the Windows directory, found once a scan.
    bool cachesFound = false;
    std::vector<std::string> caches;
};
