#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/link_graph.h"
#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/file_pattern.h"
#include "engine/import_reader.h"
#include "engine/manifest_xml.h"
#include "engine/path_parts.h"
#include "engine/pe_manifests.h"
#include "engine/scan_memory.h"
#include "engine/scan_state.h"
#include "platform/ascii_case.h"
#include "platform/scoped_handle.h"

namespace
{

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = LowerAscii(c);
    return lower;
}

// The name's parts split at '_' from both ends: the assembly's own name may hold one.
bool SplitStoredName(const std::string& stem, StoredAssembly& assembly)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = stem.find('_', start)) != std::string::npos; start = end + 1)
        parts.push_back(stem.substr(start, end - start));
    parts.push_back(stem.substr(start));
    if (parts.size() < 6)
        return false;
    const std::size_t n = parts.size();
    assembly.stem = stem;
    assembly.architecture = Lower(parts[0]);
    for (std::size_t i = 1; i + 4 < n; i++)
        assembly.name += (i > 1 ? "_" : "") + Lower(parts[i]);
    assembly.token = Lower(parts[n - 4]);
    assembly.version = parts[n - 3];
    assembly.language = Lower(parts[n - 2]);
    return true;
}

const AssemblyStore& TheStore()
{
    if (g_scanMemory.assemblies.listed)
        return g_scanMemory.assemblies;
    g_scanMemory.assemblies.listed = true;
    char windows[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return g_scanMemory.assemblies;
    g_scanMemory.assemblies.directory = JoinPath(windows, "winsxs");
    DirectoryListing listing;
    if (!ListDirectory(JoinPath(g_scanMemory.assemblies.directory, "manifests"), {}, listing))
        return g_scanMemory.assemblies;
    constexpr std::string_view kSuffix = ".manifest";
    for (const ListedEntry& entry : listing.entries)
    {
        const std::string& name = entry.longName;
        StoredAssembly assembly;
        if (name.size() > kSuffix.size() && Lower(name).ends_with(kSuffix) &&
            SplitStoredName(name.substr(0, name.size() - kSuffix.size()), assembly))
            g_scanMemory.assemblies.assemblies.push_back(std::move(assembly));
    }
    return g_scanMemory.assemblies;
}

// A manifest file's text, when it is no larger than a manifest resource may be.
bool ReadManifestFile(const std::string& path, Manifest& manifest)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || GetFileType(file.handle) != FILE_TYPE_DISK || !GetFileSizeEx(file.handle, &size) ||
        size.QuadPart <= 0 || size.QuadPart > kMostManifestBytes)
        return false;
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.handle, text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
        read != text.size())
        return false;
    return ParseManifest(text, manifest);
}

// The manifests of a PE file's bytes, parsed; the well-formed ones only.
std::vector<Manifest> ManifestResources(PagedBytes& bytes)
{
    std::vector<Manifest> manifests;
    ParseManifestResources(bytes, [&](std::string_view text) {
        Manifest manifest;
        if (ParseManifest(text, manifest))
            manifests.push_back(std::move(manifest));
    });
    return manifests;
}

// A path's file name, and the folder before it.
std::string_view FileNameOf(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string FolderOf(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return std::string(separator == std::string_view::npos ? std::string_view() : path.substr(0, separator));
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void AddFiles(const std::string& folder, const Manifest& manifest, std::vector<std::string>& files)
{
    for (const std::string& name : manifest.files)
    {
        const std::string path = JoinPath(folder, FileNameOf(name));
        if (FileExists(path))
            files.push_back(ShortPathOfNamedFile(path.c_str()));
    }
}

bool SameName(const std::string& a, const std::string& b)
{
    return Lower(a) == Lower(b);
}

// A private assembly of the file's folder: a DLL or a manifest named after it, beside
// the file or in a subfolder of that name.
bool FindPrivateAssembly(const std::string& folder, const AssemblyIdentity& wanted,
                         std::vector<std::string>& files)
{
    for (const std::string& place : {folder, JoinPath(folder, wanted.name)})
    {
        Manifest manifest;
        const std::string stem = JoinPath(place, wanted.name);
        if (ReadManifestFile(stem + ".manifest", manifest) && SameName(manifest.identity.name, wanted.name))
        {
            AddFiles(place, manifest, files);
            return true;
        }
        FileHandle dll(CreateFileA((stem + ".dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!dll.IsValid())
            continue;
        PagedBytes bytes = FileBytes(dll.handle);
        for (const Manifest& embedded : ManifestResources(bytes))
            if (SameName(embedded.identity.name, wanted.name))
            {
                files.push_back(ShortPathOfNamedFile((stem + ".dll").c_str()));
                AddFiles(place, embedded, files);
                return true;
            }
    }
    return false;
}

bool Matches(const StoredAssembly& stored, const AssemblyIdentity& wanted, const std::string& name)
{
    const std::string architecture =
        wanted.architecture.empty() || wanted.architecture == "*" ? "x86" : Lower(wanted.architecture);
    const std::string language = Lower(wanted.language);
    return stored.name == Lower(name) && stored.architecture == architecture &&
           stored.token == Lower(wanted.publicKeyToken) &&
           (language.empty() || language == "*" || stored.language == language ||
            (language == "neutral" && stored.language == "none"));
}

// The version the store's publisher policy for the assembly redirects wanted's to.
std::string PolicyVersion(const AssemblyStore& store, const AssemblyIdentity& wanted)
{
    const std::size_t dot = wanted.version.find('.');
    const std::size_t second = dot == std::string::npos ? dot : wanted.version.find('.', dot + 1);
    if (second == std::string::npos)
        return wanted.version;
    const std::string policy = "policy." + wanted.version.substr(0, second) + "." + wanted.name;
    for (const StoredAssembly& stored : store.assemblies)
    {
        Manifest manifest;
        if (!Matches(stored, wanted, policy) ||
            !ReadManifestFile(JoinPath(JoinPath(store.directory, "manifests"), stored.stem + ".manifest"),
                              manifest))
            continue;
        for (const VersionRedirect& redirect : manifest.redirects)
            if (VersionInRange(wanted.version, redirect.oldVersion))
                return redirect.newVersion;
    }
    return wanted.version;
}

// The version wanted, redirected by policy; where the store holds no such version and
// no policy (Wine's store has none), the highest of the same major and minor version,
// as Wine's loader takes it and as Windows' own policies redirect.
const StoredAssembly* ChooseStoredAssembly(const AssemblyStore& store, const AssemblyIdentity& wanted)
{
    const std::string version = PolicyVersion(store, wanted);
    std::array<std::uint32_t, 4> want{};
    if (!ParseVersion(version, want))
        return nullptr;
    const StoredAssembly* best = nullptr;
    std::array<std::uint32_t, 4> bestParts{};
    for (const StoredAssembly& stored : store.assemblies)
    {
        std::array<std::uint32_t, 4> parts{};
        if (!Matches(stored, wanted, wanted.name) || !ParseVersion(stored.version, parts))
            continue;
        if (parts == want)
            return &stored;
        if (parts[0] == want[0] && parts[1] == want[1] && (!best || parts > bestParts))
        {
            best = &stored;
            bestParts = parts;
        }
    }
    return best;
}

bool FindStoredAssembly(const AssemblyIdentity& wanted, std::vector<std::string>& files)
{
    const AssemblyStore& store = TheStore();
    const StoredAssembly* stored = ChooseStoredAssembly(store, wanted);
    Manifest manifest;
    if (!stored ||
        !ReadManifestFile(JoinPath(JoinPath(store.directory, "manifests"), stored->stem + ".manifest"),
                          manifest))
        return false;
    AddFiles(JoinPath(store.directory, stored->stem), manifest, files);
    return true;
}

} // namespace

// The manifests the loader reads for the file at path: its resources, then a
// NAME.manifest beside it.
static std::vector<Manifest> FileManifests(const char* path, PagedBytes& bytes)
{
    std::vector<Manifest> manifests = ManifestResources(bytes);
    // A failed open costs the platform a pass over the whole folder: the walk's listing
    // says whether there is a manifest beside the file, also in a folder where some other
    // name is not plain (one such name must not cost every file of thousands an open).
    const std::string folder = FolderOf(path);
    const DirectoryListing* listing = CurrentListing();
    const std::string besideName = std::string(FileNameOf(path)) + ".manifest";
    Manifest beside;
    if ((!listing || !listing->answersPlainNames || !IsPlainName(besideName) ||
         !EqualsIgnoringCase(listing->directory, folder) || FindListedEntry(*listing, besideName)) &&
        ReadManifestFile(JoinPath(folder, besideName), beside))
        manifests.push_back(std::move(beside));
    return manifests;
}

std::vector<std::string> AssemblyFiles(const char* path, PagedBytes& bytes)
{
    std::vector<std::string> files;
    const std::string folder = FolderOf(path);
    for (const Manifest& manifest : FileManifests(path, bytes))
        for (const AssemblyIdentity& wanted : manifest.dependencies)
            if (!wanted.name.empty() && !FindPrivateAssembly(folder, wanted, files))
                FindStoredAssembly(wanted, files);
    return files;
}

bool NamesAssemblies(const char* path, PagedBytes& bytes)
{
    for (const Manifest& manifest : FileManifests(path, bytes))
        for (const AssemblyIdentity& wanted : manifest.dependencies)
            if (!wanted.name.empty())
                return true;
    return false;
}

void FileAssemblies(const char* path, PagedBytes& bytes)
{
    std::vector<std::string> files = AssemblyFiles(path, bytes);
    for (const std::string& assemblyFile : files)
    {
        AddName(g_fileRefs, assemblyFile);
        NoteLinkKind(assemblyFile, LinkKind::Manifest);
    }
    SetActivationContext(std::move(files));
}

void SetActivationContext(std::vector<std::string> files)
{
    g_scanMemory.assemblies.context = std::move(files);
}

const std::string* ActivationContextFile(std::string_view fileName)
{
    for (const std::string& path : g_scanMemory.assemblies.context)
        if (EqualsIgnoringCase(FileNameOf(path), fileName))
            return &path;
    return nullptr;
}
