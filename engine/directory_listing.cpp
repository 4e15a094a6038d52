#include "engine/directory_listing.h"

#include <cwchar>
#include <optional>

#include "engine/file_pattern.h"
#include "engine/path_parts.h"
#include "engine/scan_memory.h"
#include "engine/scan_state.h"
#include "platform/ascii_case.h"
#include "platform/qemcom95.h"
#include "platform/scoped_handle.h"

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

std::string AnsiNameOfFound(const wchar_t* name)
{
    std::string ansi;
    for (const wchar_t* c = name; *c; c++)
    {
        // ASCII is itself in every ANSI code page: most names never reach the conversion.
        const bool forbidden = *c < 0x20 || std::wcschr(L"<>:\"/\\|?*", *c);
        if (*c < 0x80 && !forbidden)
        {
            ansi += static_cast<char>(*c);
            continue;
        }
        char bytes[8];
        BOOL inexact = FALSE;
        const int length =
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, c, 1, bytes, sizeof bytes, "?", &inexact);
        if (inexact || length <= 0 || forbidden)
            ansi += '?';
        else
            ansi.append(bytes, length);
    }
    // A path's last dot or blank is dropped by the platform, so it would name another file.
    if (!ansi.empty() && (ansi.back() == '.' || ansi.back() == ' '))
        ansi.back() = '?';
    return ansi;
}

std::wstring WideOfAnsi(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

// Whether the platform's case folding takes a character of name beyond ASCII for an
// ASCII letter: then a plain name could name that entry.
static bool FoldsToAscii(const wchar_t* name)
{
    for (const wchar_t* c = name; *c; c++)
    {
        if (*c < 0x80)
            continue;
        wchar_t upper = *c;
        CharUpperBuffW(&upper, 1);
        if (upper < 0x80)
            return true;
    }
    return false;
}

bool ListDirectory(const std::string& directory, const std::string& shortDirectory, DirectoryListing& listing)
{
    listing = DirectoryListing();
    listing.directory = directory;
    if (directory.empty())
        return false;

    WIN32_FIND_DATAW found;
    FindHandle find(FindFirstFileW(WideOfAnsi(JoinPath(directory, "*.*")).c_str(), &found));
    if (!find.IsValid())
        return false;
    bool plain = true;
    bool answersPlainNames = true;
    do
    {
        if (!std::wcscmp(found.cFileName, L".") || !std::wcscmp(found.cFileName, L".."))
            continue;
        answersPlainNames = answersPlainNames && !FoldsToAscii(found.cFileName);
        ListedEntry entry{AnsiNameOfFound(found.cFileName), AnsiNameOfFound(found.cAlternateFileName),
                          found.dwFileAttributes,
                          std::uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow};
        // An entry reached by its 8.3 name is plain too: patterns of plain extensions are
        // decided on the '?' form of its long name as well as on the original.
        entry.plain = (entry.shortName.empty() || IsPlainName(entry.shortName)) &&
                      (IsPlainName(entry.longName) ||
                       (!entry.shortName.empty() && entry.longName.find_first_of("?*") != std::string::npos));
        plain = plain && entry.plain;
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
    } while (FindNextFileW(find.handle, &found));

    char asked[MAX_PATH];
    if (!shortDirectory.empty())
        listing.shortDirectory = shortDirectory;
    else if (QemGetDOSFileName(directory.c_str(), asked))
        listing.shortDirectory = asked;
    listing.plain = plain;
    listing.answersPlainNames = answersPlainNames;
    return true;
}

bool ListCurrentDirectory(const std::string& shortDirectory)
{
    ForgetListing();
    g_scanMemory.listed = ListDirectory(CurrentDirectory(), shortDirectory, g_scanMemory.listing);
    return g_scanMemory.listed;
}

void ForgetListing()
{
    g_scanMemory.listing = DirectoryListing();
    g_scanMemory.listed = false;
}

const DirectoryListing* CurrentListing()
{
    if (!g_scanMemory.listed || g_scanMemory.listing.directory != CurrentDirectory())
        return nullptr;
    return &g_scanMemory.listing;
}

std::string UsableName(const ListedEntry& entry)
{
    if (entry.longName.find_first_of("?*") == std::string::npos)
        return entry.longName;
    if (entry.shortName.find_first_of("?*") == std::string::npos)
        return entry.shortName;
    return {};
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
    if ((listing.plain || entry.plain) && !listing.shortDirectory.empty())
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
    // The platform opens the file whose long name is written exactly so before it looks
    // at names that differ in case or at 8.3 names: a file may be named literally like
    // another's 8.3 name.
    if (!listing.sharedNames.empty() && listing.sharedNames.contains(key))
        for (const ListedEntry& entry : listing.entries)
            if (entry.longName == name)
                return &entry;
    return &listing.entries[found->second];
}

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

namespace
{

// The composed short path, or nothing when the platform must be asked. With absent, a
// path that the listings show to name no file sets it instead.
std::optional<std::string> ComposeShortPath(std::string_view path, bool* absent = nullptr)
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
        const bool last = end == path.size();
        if (absent && listing && (!entry || (last && (entry->attributes & FILE_ATTRIBUTE_DIRECTORY))))
            *absent = true;
        if (!entry || (absent && *absent))
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

std::string ShortPathOfExistingFile(const char* path)
{
    bool absent = false;
    if (g_scanning)
        if (std::optional<std::string> composed = ComposeShortPath(path, &absent))
            return *composed;
    if (absent)
        return {};
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return ShortPathOfNamedFile(path);
}

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
