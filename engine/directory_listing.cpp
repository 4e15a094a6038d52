#include "engine/directory_listing.h"

#include <cstring>
#include <optional>

#include "engine/file_pattern.h"
#include "engine/path_parts.h"
#include "engine/scan_memory.h"
#include "engine/scan_state.h"
#include "platform/ascii_case.h"
#include "platform/qemcom95.h"
#include "platform/scoped_handle.h"

static DirectoryListing s_listing;
static bool s_listed = false;

static std::string s_scanDirectory;

void SetScanDirectory(const std::string& directory)
{
    s_scanDirectory = directory;
}

void FollowScanDirectory()
{
    if (s_scanDirectory.empty())
        return;
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length && length < MAX_PATH && s_scanDirectory == std::string_view(current, length))
        return;
    SetCurrentDirectoryA(s_scanDirectory.c_str());
}

std::string CurrentDirectory()
{
    if (!s_scanDirectory.empty())
        return s_scanDirectory;
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
        for (const std::string* name : {&entry.longName, &entry.shortName})
        {
            if (name->empty())
                continue;
            // try_emplace leaves the key as it was when the name is there already.
            std::string key = ToUpperAscii(*name);
            if (!listing.positions.try_emplace(std::move(key), position).second)
                listing.sharedNames.insert(std::move(key));
        }
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

const std::string& NameOfEntryAlone(const DirectoryListing& listing, const ListedEntry& entry)
{
    // An 8.3 name that two entries carry would name whichever the platform meets first.
    if (entry.shortName.empty() ||
        (!listing.sharedNames.empty() && listing.sharedNames.contains(ToUpperAscii(entry.shortName)) &&
         entry.longName.find_first_of("?*") == std::string::npos))
        return entry.longName;
    return entry.shortName;
}

std::string ShortPathOfEntry(const DirectoryListing& listing, const ListedEntry& entry, const char* path)
{
    // The platform's short path takes each component's name from the same enumeration
    // data, so the directory's short form and the entry's name make it.
    if (listing.plain && !listing.shortDirectory.empty())
    {
        std::string composed = JoinPath(listing.shortDirectory, NameOfEntryAlone(listing, entry));
        if (composed.size() <= kMaxPathLength)
            return composed;
    }
    char shortPath[MAX_PATH];
    QemGetDOSFileName(path, shortPath);
    return shortPath;
}

const ListedEntry* FindListedEntry(const DirectoryListing& listing, std::string_view name)
{
    std::string key = ToUpperAscii(name);
    auto found = listing.positions.find(key);
    if (found == listing.positions.end())
        return nullptr;
    // Of names that differ only in case, the platform opens the one written exactly so.
    if (!listing.sharedNames.empty() && listing.sharedNames.contains(key))
        for (const ListedEntry& entry : listing.entries)
            if (entry.longName == name || entry.shortName == name)
                return &entry;
    return &listing.entries[found->second];
}

namespace
{

const DirectoryListing* NamedDirectory(const std::string& directory)
{
    auto [found, added] = g_scanMemory.directories.try_emplace(ToUpperAscii(directory));
    if (added)
    {
        DirectoryListing listing;
        // Its short form is not asked: the composition keeps its own.
        if (ListDirectory(directory, directory, listing) && listing.plain)
            found->second = std::move(listing);
    }
    return found->second ? &*found->second : nullptr;
}

// The composed short path, or nothing when the platform must be asked.
std::optional<std::string> ComposeShortPath(std::string_view path)
{
    if (path.size() < 4 || path.size() > kMaxPathLength || path[1] != ':' || path[2] != '\\' ||
        !((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return std::nullopt;
    std::string written(path.substr(0, 3)); // the path as written, so far
    std::string composed = written;
    std::size_t start = written.size();
    while (start <= path.size())
    {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view component = path.substr(start, end - start);
        if (!IsPlainName(component))
            return std::nullopt;
        const DirectoryListing* listing = NamedDirectory(written);
        const ListedEntry* entry = listing ? FindListedEntry(*listing, component) : nullptr;
        if (!entry)
            return std::nullopt;
        composed = JoinPath(composed, NameOfEntryAlone(*listing, *entry));
        written = JoinPath(written, component);
        start = end + 1;
    }
    if (composed.size() > kMaxPathLength)
        return std::nullopt;
    return composed;
}

} // namespace

std::string ShortPathOfNamedFile(const char* path)
{
    if (g_scanning)
        if (std::optional<std::string> composed = ComposeShortPath(path))
            return *composed;
    char shortPath[MAX_PATH];
    const bool fullyQualified = (path[0] && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
                                (path[0] == '\\' && path[1] == '\\');
    if (!fullyQualified)
        FollowScanDirectory();
    QemGetDOSFileName(path, shortPath);
    return shortPath;
}
