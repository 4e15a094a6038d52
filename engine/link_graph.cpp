#include "engine/link_graph.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

#include "engine/path_parts.h"
#include "platform/ascii_case.h"

namespace
{

// The scan compares its names with only the ASCII letters folded.
struct FoldedHash
{
    std::size_t operator()(std::string_view text) const
    {
        std::uint32_t hash = 2166136261u;
        for (char c : text)
            hash = (hash ^ static_cast<unsigned char>(UpperAscii(c))) * 16777619u;
        return hash;
    }
};

struct FoldedEqual
{
    bool operator()(std::string_view a, std::string_view b) const { return EqualsIgnoringCase(a, b); }
};

struct Graph
{
    // A deque keeps every file where it is, so the index can refer to its name.
    std::deque<LinkedFile> files;
    std::unordered_map<std::string_view, int, FoldedHash, FoldedEqual> index;
    std::vector<LinkSource> sources;
    std::vector<const std::string*> unreadTables;
    // The paths of the examined files that sources and unreadTables name, each kept once:
    // a program links to many DLLs, and a scan meets a hundred thousand.
    std::deque<std::string> keptPaths;
    const std::string* examinedKept = nullptr; // examinedPath among them, once kept

    // The few DLLs that the registry names or keeps: the values that do.
    std::unordered_map<const LinkedFile*, std::string> sharedValues, registryValues;

    std::string examinedShortPath, examinedPath;
    // With 64-bit DLLs included: each read or typed file's width, by short path.
    std::unordered_map<std::string, unsigned char, FoldedHash, FoldedEqual> bits;
    std::unordered_map<std::string, LinkKind, FoldedHash, FoldedEqual> readKinds;
    int checking = -1; // the DLL the cross-check records for, or -1

    // Made when first asked after a change: the shortest chains' previous steps (-1 at
    // a DLL a source links to, -2 where no chain reaches), and who links to whom.
    bool answered = false;
    std::vector<int> previous;
    std::vector<std::vector<int>> linkedFrom;
};

Graph s_graph;

void Changed()
{
    s_graph.answered = false;
}

int FileOf(std::string_view shortPath)
{
    auto found = s_graph.index.find(shortPath);
    if (found != s_graph.index.end())
        return found->second;
    Changed();
    LinkedFile& file = s_graph.files.emplace_back();
    file.shortPath.assign(shortPath);
    const int id = static_cast<int>(s_graph.files.size()) - 1;
    s_graph.index.emplace(file.shortPath, id);
    return id;
}

// One breadth-first pass from every DLL a source links to, over the links the
// cross-check followed: only to DLLs that stood in the pending link list.
void Answer()
{
    if (s_graph.answered)
        return;
    const std::size_t count = s_graph.files.size();
    s_graph.previous.assign(count, -2);
    std::vector<int> queue;
    for (std::size_t id = 0; id < count; id++)
        if (s_graph.files[id].source != -1)
        {
            s_graph.previous[id] = -1;
            queue.push_back(static_cast<int>(id));
        }
    for (std::size_t next = 0; next < queue.size(); next++)
    {
        const LinkedFile& file = s_graph.files[static_cast<std::size_t>(queue[next])];
        for (const FileLink& link : file.checkedAsWalked ? file.links : file.checkedLinks)
            if (s_graph.previous[static_cast<std::size_t>(link.file)] == -2 &&
                s_graph.files[static_cast<std::size_t>(link.file)].pending)
            {
                s_graph.previous[static_cast<std::size_t>(link.file)] = queue[next];
                queue.push_back(link.file);
            }
    }

    s_graph.linkedFrom.assign(count, {});
    for (std::size_t id = 0; id < count; id++)
        if (s_graph.files[id].filed)
            for (const FileLink& link : s_graph.files[id].links)
            {
                // Two names of one file may resolve to the same DLL, and a DLL's bytes
                // name the DLL itself (its export table): that links it to nothing.
                std::vector<int>& from = s_graph.linkedFrom[static_cast<std::size_t>(link.file)];
                if (link.file != static_cast<int>(id) &&
                    (from.empty() || from.back() != static_cast<int>(id)))
                    from.push_back(static_cast<int>(id));
            }
    s_graph.answered = true;
}

const std::string* KeptExaminedPath()
{
    if (!s_graph.examinedKept)
        s_graph.examinedKept = &s_graph.keptPaths.emplace_back(s_graph.examinedPath);
    return s_graph.examinedKept;
}

// Most copies are spelt as the DLL is, and a scan has a hundred thousand of them.
const std::string& PathOfCopy(const LinkedFile& file, const WalkedCopy& copy)
{
    return copy.shortPath.empty() ? file.shortPath : copy.shortPath;
}

// What a DLL has not: no path, no value.
const std::string kNone;

const std::string& ValueOf(const std::unordered_map<const LinkedFile*, std::string>& values,
                           const LinkedFile& file)
{
    auto found = values.find(&file);
    return found == values.end() ? kNone : found->second;
}

} // namespace

void ForgetLinkGraph()
{
    s_graph = Graph{};
}

const std::string& WalkedPath(const LinkedFile& file)
{
    return !file.walkedPathKnown ? kNone : file.otherLongPath.empty() ? file.shortPath : file.otherLongPath;
}

const std::string& SharedValueOf(const LinkedFile& file)
{
    return ValueOf(s_graph.sharedValues, file);
}

const std::string& RegistryValueOf(const LinkedFile& file)
{
    return ValueOf(s_graph.registryValues, file);
}

const char* LinkKindName(LinkKind kind)
{
    switch (kind)
    {
    case LinkKind::Import: return "import";
    case LinkKind::DelayLoadImport: return "delay-load import";
    case LinkKind::Forwarder: return "forwarder";
    case LinkKind::Manifest: return "manifest";
    case LinkKind::Registry: return "named by the registry";
    case LinkKind::AssemblyReference: return "assembly reference";
    case LinkKind::PInvoke: return "P/Invoke";
    case LinkKind::DepsJson: return "deps.json";
    case LinkKind::DotNetHost: return ".NET host";
    case LinkKind::NamedInFile: break;
    }
    return "named in the file";
}

void NoteLinkKind(std::string_view name, LinkKind kind)
{
    s_graph.readKinds.emplace(std::string(name), kind);
}

LinkKind LinkKindOf(std::string_view name)
{
    auto found = s_graph.readKinds.find(std::string(name));
    return found == s_graph.readKinds.end() ? LinkKind::NamedInFile : found->second;
}

void NoteExaminedFile(const char* shortPath, const char* path)
{
    s_graph.examinedShortPath = shortPath;
    s_graph.examinedPath = path;
    s_graph.examinedKept = nullptr;
    s_graph.readKinds.clear();
}

void NoteFileBits(std::string_view shortPath, int bits)
{
    s_graph.bits.insert_or_assign(std::string(shortPath), static_cast<unsigned char>(bits));
}

int FileBits(std::string_view shortPath)
{
    auto found = s_graph.bits.find(std::string(shortPath));
    return found == s_graph.bits.end() ? -1 : found->second;
}

void RecordUnreadImportTables()
{
    s_graph.unreadTables.push_back(KeptExaminedPath());
}

std::vector<std::string> FilesWithUnreadImportTables()
{
    std::vector<std::string> paths;
    paths.reserve(s_graph.unreadTables.size());
    for (const std::string* path : s_graph.unreadTables)
        paths.push_back(*path);
    return paths;
}

void RecordDirectLink(const char* dll, bool program, const char* name, LinkKind kind)
{
    LinkedFile& file = s_graph.files[static_cast<std::size_t>(FileOf(dll))];
    // A program's link makes the plainest chain: it replaces an other-format file's.
    if (file.source != -1 && (!program || s_graph.sources[static_cast<std::size_t>(file.source)].program))
        return;
    file.source = static_cast<int>(s_graph.sources.size());
    s_graph.sources.push_back(LinkSource{KeptExaminedPath(), program, program ? std::string() : name, kind});
    Changed();
}

void RecordLibraryLinks(const std::vector<std::string>& links, const std::vector<LinkKind>& kinds,
                        bool libraryPass, bool accepted, bool filed, const std::uint64_t* size,
                        bool quickScan, bool modernLinks)
{
    const int id = FileOf(s_graph.examinedShortPath);
    std::vector<FileLink> resolved;
    resolved.reserve(links.size());
    for (std::size_t i = 0; i < links.size(); i++)
    {
        const int target = FileOf(links[i]);
        resolved.push_back(FileLink{target, i < kinds.size() ? kinds[i] : LinkKind::NamedInFile});
        if (filed)
            s_graph.files[static_cast<std::size_t>(target)].pending = true;
    }
    LinkedFile& file = s_graph.files[static_cast<std::size_t>(id)];
    file.examined = file.examined || libraryPass;
    file.accepted = file.accepted || accepted;
    file.filed = file.filed || filed;
    if (WalkedPath(file).empty())
    {
        file.walkedPathKnown = !s_graph.examinedPath.empty();
        if (s_graph.examinedPath != file.shortPath)
            file.otherLongPath = s_graph.examinedPath;
    }
    // Case twins share the scan's name, and the answers follow what either links
    // to; a copy examined again replaces its links.
    auto copy = std::find_if(file.walked.begin(), file.walked.end(), [&file](const WalkedCopy& walked) {
        return PathOfCopy(file, walked) == s_graph.examinedShortPath;
    });
    if (copy == file.walked.end())
    {
        copy = file.walked.emplace(file.walked.end());
        if (file.shortPath != s_graph.examinedShortPath)
            copy->shortPath = s_graph.examinedShortPath;
    }
    else
    {
        const auto first = static_cast<std::ptrdiff_t>(copy->firstLink);
        const auto last = first + static_cast<std::ptrdiff_t>(copy->linkCount);
        file.links.erase(file.links.begin() + first, file.links.begin() + last);
        for (WalkedCopy& other : file.walked)
            if (other.firstLink > copy->firstLink)
                other.firstLink -= copy->linkCount;
    }
    copy->quickScan = quickScan;
    copy->modernLinks = modernLinks;
    copy->sized = size != nullptr;
    copy->size = size ? *size : 0;
    copy->firstLink = static_cast<std::uint32_t>(file.links.size());
    copy->linkCount = static_cast<std::uint32_t>(resolved.size());
    file.links.insert(file.links.end(), resolved.begin(), resolved.end());
    Changed();
}

// The walked copy that the platform opens for path, or nullptr.
static const WalkedCopy* CopyAt(std::string_view path, const LinkedFile*& file)
{
    file = FindLinkedFile(path);
    if (!file)
        return nullptr;
    for (const WalkedCopy& copy : file->walked)
        if (PathOfCopy(*file, copy) == path)
            return &copy;
    return file->walked.size() == 1 ? &file->walked.front() : nullptr;
}

static RecalledLibrary Recalled(const LinkedFile& file, const WalkedCopy& copy)
{
    RecalledLibrary recalled{PathOfCopy(file, copy), {}};
    recalled.links.reserve(copy.linkCount);
    for (std::uint32_t i = copy.firstLink; i < copy.firstLink + copy.linkCount && i < file.links.size(); i++)
        recalled.links.push_back(s_graph.files[static_cast<std::size_t>(file.links[i].file)].shortPath);
    return recalled;
}

bool RecallLibrary(std::string_view path, bool quickScan, bool modernLinks, RecalledLibrary& recalled)
{
    const LinkedFile* file = nullptr;
    const WalkedCopy* copy = CopyAt(path, file);
    if (!copy || copy->quickScan != quickScan || copy->modernLinks != modernLinks)
        return false;
    recalled = Recalled(*file, *copy);
    return true;
}

bool RecallListedSize(std::string_view path, std::uint64_t& size)
{
    const LinkedFile* file = nullptr;
    const WalkedCopy* copy = CopyAt(path, file);
    if (!copy || !copy->sized)
        return false;
    size = copy->size;
    return true;
}

void NoteCheckedLibrary(const char* shortPath, bool asWalked)
{
    const int id = FileOf(shortPath);
    LinkedFile& file = s_graph.files[static_cast<std::size_t>(id)];
    s_graph.checking = file.checked || asWalked ? -1 : id;
    s_graph.readKinds.clear();
    if (!file.checked)
        file.checkedAsWalked = asWalked;
    file.checked = true;
    Changed();
}

void RecordCheckedLink(const char* dll, LinkKind kind)
{
    if (s_graph.checking == -1)
        return;
    const int target = FileOf(dll);
    LinkedFile& file = s_graph.files[static_cast<std::size_t>(s_graph.checking)];
    file.checkedLinks.push_back(FileLink{target, kind});
}

void RecordSharedDll(const char* dll, const char* valueName)
{
    s_graph.sharedValues[&s_graph.files[static_cast<std::size_t>(FileOf(dll))]] = valueName;
}

void RecordRegistryName(const char* dll, const char* valuePath, bool link)
{
    LinkedFile& file = s_graph.files[static_cast<std::size_t>(FileOf(dll))];
    s_graph.registryValues.try_emplace(&file, valuePath);
    if (!link || file.source != -1)
        return;
    file.source = static_cast<int>(s_graph.sources.size());
    s_graph.sources.push_back(
        LinkSource{&s_graph.keptPaths.emplace_back(valuePath), false, "", LinkKind::Registry});
    Changed();
}

const LinkedFile* FindLinkedFile(std::string_view shortPath)
{
    auto found = s_graph.index.find(shortPath);
    return found == s_graph.index.end() ? nullptr : &s_graph.files[static_cast<std::size_t>(found->second)];
}

std::vector<const LinkedFile*> LinkedFiles()
{
    std::vector<const LinkedFile*> files;
    files.reserve(s_graph.files.size());
    for (const LinkedFile& file : s_graph.files)
        files.push_back(&file);
    return files;
}

static LinkKind KindAmong(const std::vector<FileLink>& links, int to)
{
    for (const FileLink& link : links)
        if (link.file == to)
            return link.kind;
    return LinkKind::NamedInFile;
}

// How from links to to, as the chain followed it.
static LinkKind KindOfLink(const LinkedFile& from, int to)
{
    return KindAmong(from.checkedAsWalked ? from.links : from.checkedLinks, to);
}

bool ShortestLinkChain(std::string_view shortPath, const LinkSource*& source,
                       std::vector<const LinkedFile*>& chain, std::vector<LinkKind>& kinds)
{
    chain.clear();
    kinds.clear();
    auto found = s_graph.index.find(shortPath);
    if (found == s_graph.index.end())
        return false;
    Answer();
    int id = found->second;
    if (s_graph.previous[static_cast<std::size_t>(id)] == -2)
        return false;
    for (int next = -1; id >= 0; next = id, id = s_graph.previous[static_cast<std::size_t>(id)])
    {
        const LinkedFile& file = s_graph.files[static_cast<std::size_t>(id)];
        chain.insert(chain.begin(), &file);
        if (next >= 0)
            kinds.insert(kinds.begin(), KindOfLink(file, next));
    }
    source = &s_graph.sources[static_cast<std::size_t>(chain.front()->source)];
    kinds.insert(kinds.begin(), source->kind);
    return true;
}

std::vector<const LinkedFile*> LinkingLibraries(std::string_view shortPath)
{
    std::vector<const LinkedFile*> libraries;
    auto found = s_graph.index.find(shortPath);
    if (found == s_graph.index.end())
        return libraries;
    Answer();
    for (int id : s_graph.linkedFrom[static_cast<std::size_t>(found->second)])
        libraries.push_back(&s_graph.files[static_cast<std::size_t>(id)]);
    return libraries;
}

LinkKind KindOfLibraryLink(const LinkedFile& library, std::string_view shortPath)
{
    auto found = s_graph.index.find(shortPath);
    return found == s_graph.index.end() ? LinkKind::NamedInFile : KindAmong(library.links, found->second);
}
