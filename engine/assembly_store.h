// The side-by-side store as the scan found it, kept while a scan runs (scan_memory.h).
#pragma once

#include <string>
#include <vector>

// An assembly of the store under the Windows directory, by the name of its manifest in
// winsxs\manifests: ARCH_NAME_TOKEN_VERSION_LANGUAGE_HASH (lower case).
struct StoredAssembly
{
    std::string stem; // the manifest's name without ".manifest", also its folder's name
    std::string architecture, name, token, version, language;
};

struct AssemblyStore
{
    bool listed = false;
    std::string directory; // ...\winsxs
    std::vector<StoredAssembly> assemblies;
    // The activation context of the file whose names are being resolved: its
    // assemblies' files, short full paths.
    std::vector<std::string> context;
};
