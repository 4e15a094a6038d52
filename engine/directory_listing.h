// One enumeration of a directory, kept while the walk is in it, so that the filter
// pass, the short names of the files examined and the module lookups from that
// directory ask the platform nothing more. On this platform each enumeration, short
// name and lookup costs far more than the file's own bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct ListedEntry
{
    std::string longName;  // as the enumeration gives it
    std::string shortName; // the 8.3 name, empty when the long name is 8.3 already
    DWORD attributes = 0;
    std::uint64_t size = 0;
};

struct DirectoryListing
{
    std::string directory;            // as CurrentDirectory gave it
    std::string shortDirectory;       // its short form; empty when the platform gave none
    std::vector<ListedEntry> entries; // in enumeration order, "." and ".." left out
    // Every name plain (engine/file_pattern.h): patterns and lookups can be decided
    // from the listing alone.
    bool plain = false;
    // Upper-case long and 8.3 names to the position of their entry.
    std::unordered_map<std::string, std::size_t> positions;
};

// The directory the scan stands in: the walk's while a walk goes on, otherwise the
// current directory as GetCurrentDirectoryA gives it; empty when it is too long.
std::string CurrentDirectory();

// The walk stands in a directory without making it the process's current directory:
// each change of that costs two calls into the server on this platform, and the walk
// makes one for every directory of the machine. Every lookup of the scan asks
// CurrentDirectory instead. An empty directory ends the walk's stay.
void SetWalkDirectory(const std::string& directory);
// Makes the walk's directory the process's current directory, for a relative path
// that the platform must resolve; nothing outside a walk or when it is already.
void FollowWalkDirectory();

// Lists a directory given by its full path. False when it cannot be enumerated.
bool ListDirectory(const std::string& directory, const std::string& shortDirectory,
                   DirectoryListing& listing);

// Lists the current directory into the walk's listing. shortDirectory is its short
// form when the walk knows it from the parent's listing, else empty. False when it
// cannot be enumerated (it has gone, or it is an empty root); the walk then asks the
// platform pattern by pattern, as if there were no listing.
bool ListCurrentDirectory(const std::string& shortDirectory = {});
// Forgets the listing: the directory it describes may change from now on.
void ForgetListing();

// The listing of the current directory, or nullptr when the walk holds none for it.
const DirectoryListing* CurrentListing();

// The short full path of an entry of the listing, as QemGetDOSFileName would give it
// for path (the entry's long path): composed from the directory's short form and the
// entry's 8.3 name without asking the platform, whenever that is sure to be the same.
std::string ShortPathOfEntry(const DirectoryListing& listing, const ListedEntry& entry, const char* path);

// The entry whose long or 8.3 name is name, without regard to case, or nullptr.
const ListedEntry* FindListedEntry(const DirectoryListing& listing, std::string_view name);

// The short form of a full path that names a file anywhere, as QemGetDOSFileName gives
// it: while a scan runs, a plain path ("X:\" and plain components) is composed from
// listings of its directories, each listed once a scan, as the platform composes it:
// each component by the 8.3 name of the entry it names, or by the entry's own name when
// that is 8.3. Anything else, and a path whose entries are not all listed, is asked of
// the platform.
std::string ShortPathOfNamedFile(const char* path);
// Forgets those listings: between scans files come and go.
void ForgetNamedDirectories();
