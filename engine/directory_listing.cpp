#include "engine/directory_listing.h"

#include <cstring>

#include "engine/file_pattern.h"
#include "engine/path_parts.h"
#include "engine/scoped_handle.h"
#include "platform/qemcom95.h"

static DirectoryListing s_listing;
static bool s_listed = false;

std::string CurrentDirectory()
{
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    return length && length < MAX_PATH ? std::string(current, length) : std::string();
}

bool ListDirectory(const std::string& directory, const std::string& shortDirectory, DirectoryListing& listing)
{
    listing = DirectoryListing();
    listing.directory = directory;
    if (directory.empty())
        return false;

    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(JoinPath(directory, "*.*").c_str(), &found));
    if (!find.IsValid())
        return false;
    bool plain = true;
    do
    {
        if (!std::strcmp(found.cFileName, ".") || !std::strcmp(found.cFileName, ".."))
            continue;
        ListedEntry entry{found.cFileName, found.cAlternateFileName, found.dwFileAttributes,
                          std::uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow};
        plain =
            plain && IsPlainName(entry.longName) && (entry.shortName.empty() || IsPlainName(entry.shortName));
        const std::size_t position = listing.entries.size();
        listing.positions.emplace(ToUpperAscii(entry.longName), position);
        if (!entry.shortName.empty())
            listing.positions.emplace(ToUpperAscii(entry.shortName), position);
        listing.entries.push_back(std::move(entry));
    } while (FindNextFileA(find.handle, &found));

    char asked[MAX_PATH];
    if (!shortDirectory.empty())
        listing.shortDirectory = shortDirectory;
    else if (QemGetDOSFileName(directory.c_str(), asked))
        listing.shortDirectory = asked;
    listing.plain = plain;
    return true;
}

bool ListCurrentDirectory(const std::string& shortDirectory)
{
    ForgetListing();
    s_listed = ListDirectory(CurrentDirectory(), shortDirectory, s_listing);
    return s_listed;
}

void ForgetListing()
{
    s_listing = DirectoryListing();
    s_listed = false;
}

const DirectoryListing* CurrentListing()
{
    if (!s_listed || s_listing.directory != CurrentDirectory())
        return nullptr;
    return &s_listing;
}

std::string ShortPathOfEntry(const DirectoryListing& listing, const ListedEntry& entry, const char* path)
{
    // The platform's short path takes each component's 8.3 name from the same
    // enumeration data, so the directory's short form and the entry's name make it.
    if (listing.plain && !listing.shortDirectory.empty())
    {
        std::string composed =
            JoinPath(listing.shortDirectory, entry.shortName.empty() ? entry.longName : entry.shortName);
        if (composed.size() <= kMaxPathLength)
            return composed;
    }
    char shortPath[MAX_PATH];
    QemGetDOSFileName(path, shortPath);
    return shortPath;
}

const ListedEntry* FindListedEntry(const DirectoryListing& listing, std::string_view name)
{
    auto found = listing.positions.find(ToUpperAscii(name));
    return found == listing.positions.end() ? nullptr : &listing.entries[found->second];
}
