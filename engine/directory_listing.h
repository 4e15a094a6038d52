// One enumeration of a directory, kept while the walk is in it, so that the filter
// pass, the short names of the files examined and the module lookups from that
// directory ask the platform nothing more. On this platform each enumeration, short
// name and lookup costs far more than the file's own bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct ListedEntry
{
    std::string longName;  // as the enumeration gives it
    std::string shortName; // the 8.3 name, empty when the long name is 8.3 already
    DWORD attributes = 0;
    std::uint64_t size = 0;
    // Its names plain (engine/file_pattern.h), or its long name unusable and its 8.3
    // name plain: its short path can be composed without asking the platform.
    bool plain = false;
};

// The name that reaches an entry from the ANSI side: its long name, or its 8.3 name
// when the long one holds a '?' or '*' (AnsiNameOfFound); empty when neither does.
std::string UsableName(const ListedEntry& entry);

struct DirectoryListing
{
    std::string directory;            // as CurrentDirectory gave it
    std::string shortDirectory;       // its short form; empty when the platform gave none
    std::vector<ListedEntry> entries; // in enumeration order, "." and ".." left out
    // Every entry plain: patterns and lookups can be decided from the listing alone.
    bool plain = false;
    // No name that the platform would take for a plain one but the plain names and 8.3
    // names listed: a lookup of a plain name is decided from the listing, whatever else
    // the directory holds. Only a character that folds to an ASCII letter (a dotless i,
    // a long s) could make it otherwise.
    bool answersPlainNames = false;
    // Upper-case long and 8.3 names to the position of the first entry that carries them.
    std::unordered_map<std::string, std::size_t> positions;
    // Upper-case names that more than one entry carries: names that differ only in case
    // (a host folder may hold both), and 8.3 names that the platform's hashing gave to
    // two long names.
    std::unordered_set<std::string> sharedNames;
};

// A name found by a wide enumeration, as the ANSI side may use it. Every character that
// the code page cannot carry exactly, every one that Windows forbids in a name but a
// host file system allows, and a last dot or blank, becomes '?', which no name holds:
// the ANSI enumeration would give a best fit instead ("O" for an omega), which names
// another file or none. Such an entry is reached by its 8.3 name.
std::string AnsiNameOfFound(const wchar_t* name);
// A path of the ANSI side, for a wide call: the directory was reached by names that
// convert exactly, so this names it.
std::wstring WideOfAnsi(const std::string& text);

// The directory the scan stands in: the walk's directory or the checked DLL's while
// the walk or the cross-check goes on, otherwise the current directory as
// GetCurrentDirectoryA gives it; empty when it is too long.
std::string CurrentDirectory();

// The scan stands in a directory without making it the process's current directory:
// each change of that costs two calls into the server on this platform, and the walk
// makes one for every directory of the machine, the cross-check one for every link.
// Every lookup of the scan asks CurrentDirectory instead. An empty directory ends the
// stay.
void SetScanDirectory(const std::string& directory);
// Makes the scan's directory the process's current directory, for a relative path
// that the platform must resolve; nothing outside a stay or when it is already.
void FollowScanDirectory();

// Lists a directory given by its full path. False when it cannot be enumerated.
// An entry whose path would pass the longest the scan handles is reached by its 8.3 name.
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

// The name that names an entry alone in its directory, as QemGetDOSFileName takes it
// into a short path: the 8.3 name, or the long name when another entry carries the
// same 8.3 name (or when the long name is 8.3 already).
const std::string& NameOfEntryAlone(const DirectoryListing& listing, const ListedEntry& entry);

// The short full path of an entry of the listing, as QemGetDOSFileName would give it
// for path (the entry's long path): composed from the directory's short form and the
// entry's name alone without asking the platform, whenever that is sure to be the same
// (the listing or the entry plain).
std::string ShortPathOfEntry(const DirectoryListing& listing, const ListedEntry& entry, const char* path);

// The entry whose long or 8.3 name is name, without regard to case, as the platform
// finds it: of several, the one whose long name is exactly name, else the first; or
// nullptr.
const ListedEntry* FindListedEntry(const DirectoryListing& listing, std::string_view name);

// The short form of a full path that names a file anywhere, as QemGetDOSFileName gives
// it: while a scan runs, a plain path ("X:\" and plain components) is composed from
// listings of its directories, each listed once a scan, as the platform composes it:
// each component by the name that names its entry alone. Anything else, and a path whose entries are not all
// listed, is asked of the platform.
std::string ShortPathOfNamedFile(const char* path);
// The same for a file that is there, empty for none: the listings say so at once for a
// plain path, the platform is asked only for the rest.
std::string ShortPathOfExistingFile(const char* path);
// The listing of a directory given by its full path, as the composition of short paths
// keeps it (listed once a scan); nullptr when it cannot be listed or not every entry is
// plain. Its entries' short paths are asked of ShortPathOfNamedFile.
const DirectoryListing* NamedDirectory(const std::string& directory);
// Those listings, by upper-case path as written; an empty entry is a directory that
// could not be listed.
using NamedDirectories = std::unordered_map<std::string, std::optional<DirectoryListing>>;
