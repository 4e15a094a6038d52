#include <windows.h>

#include <array>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/directory_listing.h"
#include "engine/api_set_schema.h"
#include "engine/engine.h"
#include "engine/file_pattern.h"
#include "engine/import_reader.h"
#include "engine/link_graph.h"
#include "engine/path_parts.h"
#include "engine/scan_memory.h"
#include "engine/scan_state.h"
#include "platform/ascii_case.h"
#include "platform/qemcom95.h"
#include "platform/scoped_handle.h"

static const std::array<const char*, 6> kModuleExtensions = {".DLL", ".DRV", ".SYS", ".EXE", ".OCX", ".VBX"};

static std::string DirectoryOf(const char* path)
{
    std::string directory(path);
    std::size_t separator = directory.find_last_of('\\');
    directory.resize(separator == std::string::npos ? 0 : separator);
    return directory;
}

// The directories that follow the current one in the module search order: the
// system directories, the Windows directory and PATH. They do not change during a run.
// A world has its own system directory: the 32-bit one of 64-bit Windows is SysWOW64,
// which a 32-bit process sees as System32 only while redirection is on.
static const std::string& FixedSearchDirectories(int world = 0)
{
    auto directories = [](int bits) {
        char buffer[MAX_PATH];
        std::string list;
        if ((bits == 32 && GetSystemWow64DirectoryA(buffer, MAX_PATH)) ||
            GetSystemDirectoryA(buffer, MAX_PATH))
            list += std::string(buffer) + ';';
        if (GetWindowsDirectoryA(buffer, MAX_PATH))
            list += std::string(buffer) + "\\system;" + buffer + ';';
        if (const char* path = std::getenv("PATH"))
            list += path;
        return list;
    };
    static const std::string parts = directories(0);
    static const std::string world32 = directories(32);
    static const std::string world64 = directories(64);
    return world == 32 ? world32 : world == 64 ? world64 : parts;
}

// With 64-bit DLLs included, a file of the other width is passed over as the loader
// passes it over; a file of neither width stands, as every file does in the Parts'
// search. A file the walk has not read yet is typed once, and kept open for the walk.
static bool FitsWorld(const ModuleHit& hit, int world)
{
    if (world == 0 || hit.kind != ModuleHit::File)
        return true;
    int bits = FileBits(hit.path);
    if (bits < 0)
    {
        HANDLE file = CreateFileA(hit.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        bits = file != INVALID_HANDLE_VALUE ? ReadExeWidth(file) : 0;
        if (file != INVALID_HANDLE_VALUE)
            g_scanMemory.modules.typedFiles.Hold(hit.path, file);
        NoteFileBits(hit.path, bits);
    }
    return bits == 0 || bits == world;
}

static const std::string& ProgramDirectory()
{
    static const std::string directory = [] {
        char buffer[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
        return length && length < MAX_PATH ? DirectoryOf(buffer) : std::string();
    }();
    return directory;
}

static ModuleHit SearchDirectories(const std::string& directories, const std::string& fileName)
{
    // A name that begins with "." or ".." is looked for from the current directory alone.
    if (!fileName.empty() && fileName.front() == '.')
        FollowScanDirectory();
    char found[MAX_PATH];
    char* filePart = nullptr;
    DWORD length = SearchPathA(directories.c_str(), fileName.c_str(), nullptr, MAX_PATH, found, &filePart);
    if (length == 0 || length >= MAX_PATH)
        return {};
    DWORD attributes = GetFileAttributesA(found);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {ModuleHit::Blocked, {}};
    return {ModuleHit::File, found};
}

// The same search as its answer for the rest of the scan: a file found by its short
// full path.
static ModuleHit SearchForShortPath(const std::string& directories, const std::string& fileName)
{
    ModuleHit hit = SearchDirectories(directories, fileName);
    if (hit.kind == ModuleHit::File)
    {
        char shortPath[MAX_PATH];
        QemGetDOSFileName(hit.path.c_str(), shortPath);
        hit.path = shortPath;
    }
    return hit;
}

// A module file name that a listing answers for certain: plain, no leading blank.
static bool IsListableName(const std::string& fileName)
{
    return IsPlainName(fileName) && fileName.front() != ' ';
}

// What a listed directory holds under a file name, as the search would find it there.
static ModuleHit LookUpListed(const DirectoryListing& listing, const std::string& fileName)
{
    const ListedEntry* entry = FindListedEntry(listing, fileName);
    if (!entry)
        return {};
    if (entry->attributes & FILE_ATTRIBUTE_DIRECTORY)
        return {ModuleHit::Blocked, {}};
    return {ModuleHit::File,
            ShortPathOfEntry(listing, *entry, JoinPath(listing.directory, fileName).c_str())};
}

static ModuleHit LookUpInDirectory(SearchDirectory& directory, const std::string& fileName)
{
    if (!directory.listed)
    {
        directory.listed = true;
        if (ListDirectory(directory.path, {}, directory.listing))
            directory.answers = directory.listing.answersPlainNames;
        else
            // A directory that is not there holds nothing; one that cannot be listed is
            // asked name by name.
            directory.answers = GetFileAttributesA(directory.path.c_str()) == INVALID_FILE_ATTRIBUTES;
    }
    if (directory.answers && IsListableName(fileName))
        return LookUpListed(directory.listing, fileName);
    return SearchForShortPath(directory.path, fileName);
}

// The entries of a ';'-separated list of directories, empty ones left out.
static std::vector<std::string> SplitSearchList(const std::string& list)
{
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start < list.size())
    {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            entries.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

static std::vector<SearchDirectory> SplitSearchDirectories(const std::string& list)
{
    std::vector<SearchDirectory> directories;
    for (std::string& path : SplitSearchList(list))
    {
        SearchDirectory directory;
        directory.path = std::move(path);
        directories.push_back(std::move(directory));
    }
    return directories;
}

// Names kept a stretch. A crafted file can name a million modules that are nowhere, and
// a whole machine names a hundred thousand: the answers would follow them into
// gigabytes, or tens of megabytes; forgetting them all now and then costs looking names
// up in the listings again, which hold them.
constexpr std::size_t kMostKeptHits = 16384;

static const ModuleHit& LookUpInStretch(std::unordered_map<std::string, ModuleHit>& hits,
                                        std::vector<SearchDirectory>& directories,
                                        const std::string& fileName, int world)
{
    std::string key = ToUpperAscii(fileName);
    if (world != 0)
        key += world == 32 ? "|32" : "|64";
    auto found = hits.find(key);
    if (found != hits.end())
        return found->second;
    if (hits.size() >= kMostKeptHits)
        hits.clear();
    ModuleHit hit;
    for (SearchDirectory& directory : directories)
    {
        hit = LookUpInDirectory(directory, fileName);
        if (!FitsWorld(hit, world))
            hit = {};
        if (hit.kind != ModuleHit::Absent)
            break;
    }
    return hits.emplace(std::move(key), std::move(hit)).first->second;
}

// A relative entry in PATH would be searched from the current directory: then nothing
// of the fixed stretch can be kept.
static bool FixedDirectoriesAreAbsolute()
{
    static const bool absolute = [] {
        for (const std::string& entry : SplitSearchList(FixedSearchDirectories()))
        {
            bool rooted = (entry.size() >= 3 && entry[1] == ':' && (entry[2] == '\\' || entry[2] == '/')) ||
                          entry.starts_with("\\\\");
            if (!rooted)
                return false;
        }
        return true;
    }();
    return absolute;
}

// The current directory's stretch: from the walk's listing when it has one.
static ModuleHit SearchCurrentDirectory(const std::string& fileName, const std::string& current)
{
    const DirectoryListing* listing = CurrentListing();
    if (listing && listing->answersPlainNames && IsListableName(fileName))
        return LookUpListed(*listing, fileName);
    return SearchForShortPath(current, fileName);
}

// The search order of OpenFile: the program's directory, the current directory (the
// examined file's), the system directories, the Windows directory, PATH. OpenFile
// itself gives up on any file whose path passes 127 characters, and a deep current
// directory makes it lose even the system's own DLLs, so the search is made here.
// On success found holds the file's short full path.
static bool SearchModule(const std::string& fileName, char (&found)[MAX_PATH], bool fromCurrent = true)
{
    const int world = g_namingBits;
    const std::string current = fromCurrent ? CurrentDirectory() : std::string();
    const bool hasCurrent = !current.empty();
    ModuleHit hit;
    if (!g_scanning || !FixedDirectoriesAreAbsolute() || ProgramDirectory().empty())
    {
        std::string directories = ProgramDirectory() + ';';
        if (hasCurrent)
            directories += current + ';';
        directories += FixedSearchDirectories(world);
        if (world == 0)
            hit = SearchForShortPath(directories, fileName);
        else
            // The search goes on past a file of the other width: one directory at a time.
            for (const std::string& directory : SplitSearchList(directories))
                if (hit = SearchForShortPath(directory, fileName); !FitsWorld(hit, world))
                    hit = {};
                else if (hit.kind != ModuleHit::Absent)
                    break;
    }
    else
    {
        ModuleLookups& lookups = g_scanMemory.modules;
        std::vector<SearchDirectory>& fixed = lookups.fixed[world / 32];
        if (!lookups.prepared)
        {
            lookups.program = SplitSearchDirectories(ProgramDirectory());
            lookups.prepared = true;
        }
        if (fixed.empty())
            fixed = SplitSearchDirectories(FixedSearchDirectories(world));
        hit = LookUpInStretch(lookups.programHits, lookups.program, fileName, world);
        if (hit.kind == ModuleHit::Absent && hasCurrent)
            if (hit = SearchCurrentDirectory(fileName, current); !FitsWorld(hit, world))
                hit = {};
        if (hit.kind == ModuleHit::Absent)
            hit = LookUpInStretch(lookups.fixedHits, fixed, fileName, world);
    }
    if (hit.kind != ModuleHit::File)
        return false;
    lstrcpynA(found, hit.path.c_str(), MAX_PATH);
    return true;
}

// The machine's API set schema, read once a scan from the system directory; none when
// the file is missing or unreadable, and then no virtual name is linked.
static const ApiSetSchema& MachineApiSets()
{
    if (!g_scanMemory.modules.apiSetsRead)
    {
        g_scanMemory.modules.apiSetsRead = true;
        char directory[MAX_PATH];
        UINT length = GetSystemDirectoryA(directory, MAX_PATH);
        std::string path = std::string(directory, length < MAX_PATH ? length : 0) + "\\apisetschema.dll";
        FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size;
        if (file.IsValid() && GetFileType(file.handle) == FILE_TYPE_DISK &&
            GetFileSizeEx(file.handle, &size) && size.QuadPart > 0)
        {
            PagedBytes bytes(static_cast<std::uint64_t>(size.QuadPart), FilePageReader(file.handle));
            ParseApiSetSchema(bytes, g_scanMemory.modules.apiSets);
        }
    }
    return g_scanMemory.modules.apiSets;
}

// The host of an API set that no file bears, as the loader maps it: found along the
// search path by its own file name. The modern reading only.
static int ResolveApiSet(char (&name)[MAX_PATH])
{
    if (ChosenImportReading() != ImportReading::ImportDirectories || !IsApiSetName(name))
        return -1;
    const std::string host(ApiSetHost(MachineApiSets(), name));
    std::string_view extension = PathExtension(host);
    for (std::size_t i = 0; i < kModuleExtensions.size() && !host.empty(); i++)
    {
        char found[MAX_PATH];
        if (EqualsIgnoringCase(extension, kModuleExtensions[i]) && SearchModule(host, found))
        {
            lstrcpynA(name, found, MAX_PATH);
            return static_cast<int>(i);
        }
    }
    return -1;
}

int ResolveLoadedModule(char (&name)[MAX_PATH])
{
    char found[MAX_PATH];
    if (!SearchModule(name, found, false))
        return 0;
    lstrcpynA(name, found, MAX_PATH);
    return 1;
}

int ResolveModule(char (&name)[MAX_PATH])
{
    // Only an extension of the six is one: a dot inside a versioned name
    // ("libglib-2.0-0") is part of the name, which is looked up like any bare name.
    std::string_view extension = PathExtension(name);
    for (std::size_t i = 0; i < kModuleExtensions.size() && !extension.empty(); i++)
        if (EqualsIgnoringCase(extension, kModuleExtensions[i]))
            return static_cast<int>(i);
    for (std::size_t i = 0; i < kModuleExtensions.size(); i++)
    {
        if (const std::string* assemblyFile = ActivationContextFile(std::string(name) + kModuleExtensions[i]))
        {
            lstrcpynA(name, assemblyFile->c_str(), MAX_PATH);
            return static_cast<int>(i);
        }
        char found[MAX_PATH];
        if (SearchModule(std::string(name) + kModuleExtensions[i], found))
        {
            lstrcpynA(name, found, MAX_PATH);
            return static_cast<int>(i);
        }
    }
    return ResolveApiSet(name);
}
