#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/clr_metadata.h"
#include "engine/deps_json.h"
#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/import_reader.h"
#include "engine/link_graph.h"
#include "engine/path_parts.h"
#include "engine/scan_memory.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/ascii_case.h"
#include "platform/scoped_handle.h"

namespace
{

constexpr DWORD kMostConfigBytes = 1u << 20;

std::string FolderOf(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return std::string(separator == std::string_view::npos ? std::string_view() : path.substr(0, separator));
}

std::string_view FileNameOf(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && EqualsIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

// A name that stays inside the folder it is looked for in.
bool IsFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string_view::npos;
}

// The walk's listing when it is of folder: its short paths are composed without a call.
const DirectoryListing* WalkListingOf(const std::string& folder)
{
    const DirectoryListing* listing = CurrentListing();
    return listing && listing->plain && EqualsIgnoringCase(listing->directory, folder) ? listing : nullptr;
}

// Whether folder may be there: false when its parent's listing has no such folder. Most
// folders probed are not there, and a failed listing costs this platform a call into
// its server; the parent is listed already, or once for all its subfolders.
bool FolderMayExist(const std::string& folder)
{
    std::string parent = FolderOf(folder);
    if (parent.size() == 2 && parent[1] == ':')
        parent += '\\';
    const DirectoryListing* listing = WalkListingOf(parent);
    if (!listing)
        listing = NamedDirectory(parent);
    if (!listing)
        return GetFileAttributesA(parent.c_str()) != INVALID_FILE_ATTRIBUTES;
    const ListedEntry* entry = FindListedEntry(*listing, FileNameOf(folder));
    return entry && (entry->attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The short full path of the file name in folder, or empty when there is none. A
// failed open costs this platform as much as a reading: the listings answer first.
std::string FileIn(const std::string& folder, std::string_view name)
{
    const std::string path = JoinPath(folder, name);
    if (!IsFileName(name) || path.size() > kMaxPathLength)
        return {};
    if (const DirectoryListing* listing = WalkListingOf(folder))
    {
        const ListedEntry* entry = FindListedEntry(*listing, name);
        return entry && !(entry->attributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? ShortPathOfEntry(*listing, *entry, path.c_str())
                   : std::string();
    }
    if (!FolderMayExist(folder))
        return {};
    if (const DirectoryListing* listing = NamedDirectory(folder))
    {
        const ListedEntry* entry = FindListedEntry(*listing, name);
        if (!entry || (entry->attributes & FILE_ATTRIBUTE_DIRECTORY))
            return {};
    }
    else
    {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return {};
    }
    return ShortPathOfNamedFile(path.c_str());
}

// The subfolders of folder (junctions left out, as the walk leaves them), by name.
std::vector<std::string> Subfolders(const std::string& folder)
{
    std::vector<std::string> names;
    const DirectoryListing* listing = WalkListingOf(folder);
    if (!listing && FolderMayExist(folder))
        listing = NamedDirectory(folder);
    if (listing)
        for (const ListedEntry& entry : listing->entries)
            if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                names.push_back(entry.longName);
    return names;
}

void Link(const std::string& shortPath, LinkKind kind)
{
    if (shortPath.empty())
        return;
    AddName(g_fileRefs, shortPath);
    NoteLinkKind(shortPath, kind);
}

// The text of a small file, empty when it is larger than kMostConfigBytes or unreadable.
std::string SmallFileText(const std::string& path)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || GetFileType(file.handle) != FILE_TYPE_DISK || !GetFileSizeEx(file.handle, &size) ||
        size.QuadPart <= 0 || size.QuadPart > kMostConfigBytes)
        return {};
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.handle, text.data(), static_cast<DWORD>(text.size()), &read, nullptr))
        return {};
    text.resize(read);
    return text;
}

// The folders a config's privatePath attributes name (';'-separated, below the
// program's folder), appended to folders.
void AddPrivatePaths(std::string_view text, std::vector<std::string>& folders)
{
    constexpr std::string_view kAttribute = "privatePath";
    for (std::size_t at = text.find(kAttribute); at != std::string_view::npos;
         at = text.find(kAttribute, at + kAttribute.size()))
    {
        std::size_t next = text.find_first_not_of(" \t\r\n", at + kAttribute.size());
        if (next == std::string_view::npos || text[next] != '=')
            continue;
        next = text.find_first_not_of(" \t\r\n", next + 1);
        if (next == std::string_view::npos || (text[next] != '"' && text[next] != '\''))
            continue;
        const std::size_t end = text.find(text[next], next + 1);
        if (end == std::string_view::npos)
            return;
        std::string_view value = text.substr(next + 1, end - next - 1);
        while (!value.empty())
        {
            const std::size_t semicolon = value.find(';');
            std::string folder(value.substr(0, semicolon));
            for (char& c : folder)
                c = c == '/' ? '\\' : c;
            while (!folder.empty() && (folder.back() == '\\' || folder.back() == ' '))
                folder.pop_back();
            // The runtime probes only below the application's folder.
            if (!folder.empty() && folder.find(':') == std::string::npos && folder.front() != '\\' &&
                folder.find("..") == std::string::npos)
                folders.push_back(std::move(folder));
            value = semicolon == std::string_view::npos ? std::string_view() : value.substr(semicolon + 1);
        }
    }
}

// The privatePath folders of the programs' .config files in folder.
const std::vector<std::string>& PrivatePaths(const std::string& folder)
{
    ManagedStore& store = g_scanMemory.managed;
    if (store.configRead && EqualsIgnoringCase(store.configFolder, folder))
        return store.privatePaths;
    store.configRead = true;
    store.configFolder = folder;
    store.privatePaths.clear();
    const DirectoryListing* listing = WalkListingOf(folder);
    if (!listing)
        listing = NamedDirectory(folder);
    if (listing)
        for (const ListedEntry& entry : listing->entries)
            if (EndsWithIgnoringCase(entry.longName, ".exe.config"))
                AddPrivatePaths(SmallFileText(JoinPath(folder, UsableName(entry))), store.privatePaths);
    return store.privatePaths;
}

// The global assembly caches of 32-bit and neutral assemblies, of both runtimes.
const std::vector<std::string>& AssemblyCaches()
{
    ManagedStore& store = g_scanMemory.managed;
    if (store.cachesFound)
        return store.caches;
    store.cachesFound = true;
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return store.caches;
    // Only those that are there: each is asked for every assembly reference.
    for (const char* cache : {"assembly\\GAC", "assembly\\GAC_32", "assembly\\GAC_MSIL",
                              "Microsoft.NET\\assembly\\GAC_32", "Microsoft.NET\\assembly\\GAC_MSIL"})
        if (const std::string path = JoinPath(windows, cache);
            GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            store.caches.push_back(path);
    return store.caches;
}

// An assembly reference: NAME.dll and NAME.exe wherever the runtime probes for it from
// folder, and every version the caches hold, which a binding redirect or publisher
// policy may choose.
void LinkAssembly(const std::string& folder, std::string_view name, std::string_view culture)
{
    if (!IsFileName(name))
        return;
    std::vector<std::string> places = {folder, JoinPath(folder, name)};
    if (IsFileName(culture) && !EqualsIgnoringCase(culture, "neutral"))
    {
        places.push_back(JoinPath(folder, culture));
        places.push_back(JoinPath(JoinPath(folder, culture), name));
    }
    for (const std::string& privatePath : PrivatePaths(folder))
    {
        places.push_back(JoinPath(folder, privatePath));
        places.push_back(JoinPath(JoinPath(folder, privatePath), name));
    }
    for (const std::string& cache : AssemblyCaches())
    {
        const std::string versions = JoinPath(cache, name);
        for (const std::string& version : Subfolders(versions))
            places.push_back(JoinPath(versions, version));
    }
    const std::string stem(name);
    for (const std::string& place : places)
        for (const char* extension : {".dll", ".exe"})
            Link(FileIn(place, stem + extension), LinkKind::AssemblyReference);
}

// A P/Invoke module as the loader takes it: by file name along the module search path,
// ".dll" appended unless it has that extension or one of the others a module may have.
void LinkNativeModule(std::string_view module)
{
    module = FileNameOf(module);
    if (module.empty() || module.size() >= MAX_PATH)
        return;
    std::string name(module);
    if (EndsWithIgnoringCase(name, ".dll"))
        name.resize(name.size() - 4);
    AddName(g_fileRefs, name);
    NoteLinkKind(name, LinkKind::PInvoke);
}

// The versions of a .NET installation's hostfxr.dll, under root\host\fxr.
void LinkHostResolvers(const std::string& root)
{
    const std::string resolvers = JoinPath(root, "host\\fxr");
    for (const std::string& version : Subfolders(resolvers))
        Link(FileIn(JoinPath(resolvers, version), "hostfxr.dll"), LinkKind::DotNetHost);
}

} // namespace

void FileManagedLinks(const char* path, PagedBytes& bytes)
{
    const std::string folder = FolderOf(path);
    ParseClrMetadata(bytes, [&](ClrName kind, std::string_view name, std::string_view culture) {
        switch (kind)
        {
        case ClrName::Assembly: LinkAssembly(folder, name, culture); break;
        case ClrName::NativeModule: LinkNativeModule(name); break;
        case ClrName::File: Link(FileIn(folder, name), LinkKind::AssemblyReference); break;
        }
    });
}

void FileHostLinks(const char* path)
{
    const std::string folder = FolderOf(path);
    const std::string_view name = FileNameOf(path);
    if (EqualsIgnoringCase(name, "dotnet.exe"))
        LinkHostResolvers(folder);
    else if (EqualsIgnoringCase(name, "hostfxr.dll"))
    {
        // ROOT\host\fxr\VERSION\hostfxr.dll serves every framework of ROOT\shared; one
        // beside an application serves the hostpolicy.dll beside it.
        Link(FileIn(folder, "hostpolicy.dll"), LinkKind::DotNetHost);
        const std::string fxr = FolderOf(folder);
        if (!EndsWithIgnoringCase(fxr, "\\host\\fxr"))
            return;
        const std::string shared = JoinPath(FolderOf(FolderOf(fxr)), "shared");
        for (const std::string& framework : Subfolders(shared))
            for (const std::string& version : Subfolders(JoinPath(shared, framework)))
                Link(FileIn(JoinPath(JoinPath(shared, framework), version), "hostpolicy.dll"),
                     LinkKind::DotNetHost);
    }
    else if (EndsWithIgnoringCase(name, ".exe") &&
             !FileIn(folder, std::string(name.substr(0, name.size() - 4)) + ".runtimeconfig.json").empty())
    {
        // An application host: a self-contained one's hostfxr.dll lies beside it, else
        // the one of the installation under Program Files.
        Link(FileIn(folder, "hostfxr.dll"), LinkKind::DotNetHost);
        char programFiles[MAX_PATH];
        const DWORD length = GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            LinkHostResolvers(JoinPath(programFiles, "dotnet"));
    }
}

void ExamineDependencyFiles()
{
    const DirectoryListing* listing = CurrentListing();
    if (!listing)
        return;
    for (const ListedEntry& entry : listing->entries)
    {
        if (!g_scanning)
            return;
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !EndsWithIgnoringCase(entry.longName, ".deps.json"))
            continue;
        PumpStep();
        const std::string path = JoinPath(listing->directory, UsableName(entry));
        if (path.size() > kMaxPathLength)
            continue;
        FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size;
        if (!file.IsValid() || GetFileType(file.handle) != FILE_TYPE_DISK ||
            !GetFileSizeEx(file.handle, &size) || size.QuadPart <= 0)
            continue;
        NoteExaminedFile(ShortPathOfEntry(*listing, entry, path.c_str()).c_str(), path.c_str());
        PagedBytes bytes(static_cast<std::uint64_t>(size.QuadPart), FilePageReader(file.handle));
        for (const std::string& asset : ParseDepsAssets(bytes))
        {
            // The host loads an asset from the file's folder, by its file name, or where
            // its path leads when the folder keeps the package layout.
            std::string relative = asset;
            for (char& c : relative)
                c = c == '/' ? '\\' : c;
            std::vector<std::string> places = {FileIn(listing->directory, FileNameOf(relative))};
            if (relative.find('\\') != std::string::npos)
                places.push_back(
                    FileIn(JoinPath(listing->directory, FolderOf(relative)), FileNameOf(relative)));
            for (const std::string& found : places)
                if (!found.empty() && EqualsIgnoringCase(PathExtension(found), ".DLL"))
                {
                    AddName(g_validLinks, found);
                    RecordDirectLink(found.c_str(), false, asset.c_str(), LinkKind::DepsJson);
                }
        }
    }
}
