#include <windows.h>

#include <string>
#include <vector>

#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/filter_entry.h"
#include "engine/import_reader.h"
#include "engine/link_graph.h"
#include "engine/path_parts.h"
#include "engine/reference_scanner.h"
#include "engine/scan_memory.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/qemcom95.h"
#include "platform/scoped_handle.h"

// Drive phase: every fixed drive from C to Z. False when the scan was stopped.
static bool WalkFixedDrives(HWND mainWindow)
{
    for (int drive = 3; drive <= 26; drive++)
    {
        if (!ChooseDriveToWalk(drive))
            continue;
        int walked = WalkDrive(mainWindow, drive);
        SetCurrentDirectoryA("\\");
        if (walked == 1)
        {
            DropRepeatedNames(g_resultList);
            DropRepeatedNames(g_validLinks);
            DropRepeatedNames(g_pendingLinks);
        }
        if (!g_scanning)
            return false;
    }
    return true;
}

// Asking for attributes takes this platform no call into the server, but a stat.
static bool IsDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Where changing into the directory of link leaves a current directory of current: the
// link's drive selected (when it has one that is there), its root, then the link's
// directory when that is there. Links in one directory are neighbours in the list, and
// one already stood in is not asked for again.
static std::string DirectoryOfLink(const char* link, const std::string& current)
{
    PathParts parts = SplitPath(link);
    const std::string currentDrive =
        current.size() >= 2 && current[1] == ':' ? current.substr(0, 2) : std::string();
    std::string drive = currentDrive;
    if (!parts.drive.empty())
    {
        const std::string named = {static_cast<char>(parts.drive[0] & ~0x20), ':'};
        if (named == currentDrive || IsDirectory(named + "\\"))
            drive = named;
    }
    if (drive.empty())
        return current;
    std::string directory = parts.directory;
    if (!directory.empty() && directory.back() == '\\')
        directory.pop_back();
    const std::string root = drive + "\\";
    std::string target = root;
    if (!directory.empty())
    {
        const std::string written =
            directory.front() == '\\' || directory.front() == '/' ? drive + directory : root + directory;
        char full[MAX_PATH];
        DWORD length = GetFullPathNameA(written.c_str(), MAX_PATH, full, nullptr);
        target = length && length < MAX_PATH ? std::string(full, length) : root;
    }
    if (target == current || target == root)
        return target;
    return IsDirectory(target) ? target : root;
}

// The cross-check stands in the directory of each DLL it checks, so that references
// resolve as they did during the walk; the last one is made the process's current
// directory when it ends, however it ends.
struct CrossCheckStay
{
    CrossCheckStay() { SetScanDirectory(CurrentDirectory()); }
    ~CrossCheckStay()
    {
        FollowScanDirectory();
        SetScanDirectory({});
    }
    CrossCheckStay(const CrossCheckStay&) = delete;
    CrossCheckStay& operator=(const CrossCheckStay&) = delete;
};

// The status text is held to the 260 bytes a short path has.
static void SetCheckingStatus(const char* shortPath)
{
    std::string status = (std::string(kCheckingLinksText) + shortPath).substr(0, kMaxPathLength);
    SetStatusText(status.c_str());
}

// The entry of list spelt exactly as name, else one FindPrefix gives. Names that differ
// only in case may name two files of one host folder: each is judged on its own.
static int FindLink(const NameList& list, const char* name)
{
    const int k = FindSpelling(list, name);
    return k != -1 ? k : FindPrefix(list, name);
}

// Moves a pending link that the checked DLL refers to over to the valid links. True
// when there was one. The valid links hold each spelling once: a second entry would be
// checked twice, and weeding them out of the whole list at every promotion would make
// the check quadratic.
static bool PromoteLink(const char* name)
{
    int k = FindLink(g_pendingLinks, name);
    if (k == -1)
        return false;
    RemoveAt(g_pendingLinks, k);
    AddNameOnce(g_validLinks, name);
    return true;
}

// Promotes every pending link that the checked DLL refers to, reading it. True when
// one was.
static bool PromoteReferencedLinks()
{
    bool promoted = false;
    int count = GetCount(g_fileRefs);
    for (int j = 0; j < count; j++)
    {
        PumpStep();
        if (!g_scanning)
            return promoted;
        char name[MAX_PATH];
        if (GetName(g_fileRefs, j, name) < 0)
            continue;
        const LinkKind kind = LinkKindOf(name);
        if (ResolveModule(name) == MODULE_DLL)
        {
            RecordCheckedLink(name, kind);
            promoted = PromoteLink(name) || promoted;
        }
    }
    return promoted;
}

// The same from what the walk kept of a DLL it examined.
static bool PromoteRecalledLinks(const std::vector<std::string>& links)
{
    bool promoted = false;
    for (const std::string& name : links)
    {
        PumpStep();
        if (!g_scanning)
            return promoted;
        promoted = PromoteLink(name.c_str()) || promoted;
    }
    return promoted;
}

// Reads the DLL at shortPath (path as the link names it) again and promotes what it
// refers to. True when a link was promoted.
static bool ReadAndPromote(const char* shortPath, const char* path)
{
    const ExeReading reading = ChosenExeReading();
    SetActivationContext({});
    // The walk's listing of the folder is gone by now: listed again, it answers the
    // lookups of every name the file refers to, where the platform would search the
    // folder once for each.
    if (!CurrentListing())
        ListCurrentDirectory();
    int bits = 0;
    bool managed = false;
    bool unreadTables = false;
    FileHandle file(CreateFileA(shortPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    PagedBytes bytes = file.IsValid() ? FileBytes(file.handle) : PagedBytes(0, {});
    const int imports = ReadImportsFrom(g_fileRefs, bytes, reading, unreadTables, bits, &managed);
    g_namingBits = reading.take64 ? bits : 0;
    if (imports != -1)
    {
        if (reading.imports == ImportReading::ImportDirectories)
        {
            FileAssemblies(shortPath, bytes);
            if (managed)
                FileManagedLinks(shortPath, bytes);
            FileHostLinks(shortPath);
        }
        if (!QuickScan())
            ScanForModuleNames(g_fileRefs, path, 1, FILE_KIND_LIBRARY, ChosenProgramNames());
    }
    // A name found again would only be resolved again to the same file.
    DropDuplicates(g_fileRefs);
    bool promoted = PromoteReferencedLinks();
    Clear(g_fileRefs);
    return promoted;
}

// Checks one valid link: promotes what it refers to. Its short full path goes to
// shortPath.
static bool CheckLink(const char* link, char (&shortPath)[MAX_PATH])
{
    SetScanDirectory(DirectoryOfLink(link, CurrentDirectory()));
    const bool modernLinks = ChosenImportReading() == ImportReading::ImportDirectories;
    bool promoted;
    RecalledLibrary record;
    if (RecallLibrary(link, QuickScan(), modernLinks, record))
    {
        lstrcpynA(shortPath, record.shortPath.c_str(), MAX_PATH);
        SetCheckingStatus(shortPath);
        NoteCheckedLibrary(shortPath, true);
        promoted = PromoteRecalledLinks(record.links);
    }
    else
    {
        // A link without a drive is read from the directory stood in.
        FollowScanDirectory();
        QemGetDOSFileName(link, shortPath);
        SetCheckingStatus(shortPath);
        NoteCheckedLibrary(shortPath, false);
        promoted = ReadAndPromote(shortPath, link);
    }
    return promoted;
}

// Cross-check: the valid links are worked off as a queue; each leaves the result list,
// and the pending links it refers to join the queue, so chains of DLLs are followed.
int CrossCheckLinks()
{
    SetStatusLineText(" Cross checking valid .DLL links with other .DLLs...");
    CrossCheckStay stay;
    int n = GetCount(g_validLinks);
    for (int i = 0; i < n; i++)
    {
        if (!g_scanning)
            return 0;
        PumpStep();
        // A Stop let through here ends the check before the link is read.
        if (!g_scanning)
            return 0;
        char link[MAX_PATH];
        if (GetName(g_validLinks, i, link) < 0)
            continue;
        char shortPath[MAX_PATH];
        bool promoted = CheckLink(link, shortPath);

        int k = FindLink(g_resultList, shortPath);
        if (k != -1)
            RemoveAt(g_resultList, k);
        k = FindLink(g_validLinks, shortPath);
        if (k != -1)
        {
            RemoveAt(g_validLinks, k);
            i--;
            n--;
        }
        if (promoted)
        {
            n = GetCount(g_validLinks);
            i = -1;
        }
    }
    // A Stop during the last iteration has no next one to notice it, and it has
    // emptied the lists that iteration was promoting into: the scan did not finish.
    return g_scanning ? 1 : 0;
}

// Shared-DLL pass: every DLL the register names stays off the list, whatever its count.
// Enumerating values needs only KEY_QUERY_VALUE; asking for more would fail for an
// ordinary user on Windows NT and skip the pass without a word. A name too long for a
// path names no listed file and is passed over; the register may hold a hundred thousand
// values, so a Stop is heard between them.
void RemoveSharedDlls()
{
    SetStatusText(" Searching Registry for Shared DLLs...");
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                        const_cast<char*>(""), 0, KEY_QUERY_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0; g_scanning; index++)
    {
        PumpStep();
        char name[MAX_PATH];
        DWORD size = MAX_PATH;
        const LONG status = RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        const std::string shortPath = ShortPathOfNamedFile(name);
        int k = FindLink(g_resultList, shortPath.c_str());
        if (k != -1)
        {
            RecordSharedDll(shortPath.c_str(), name);
            RemoveAt(g_resultList, k);
        }
    }
    RegCloseKey(key);
}

// The registry is read beside the walk, and the reading ends with the scan however the
// scan ends.
struct RegistryReadingStay
{
    explicit RegistryReadingStay(bool wanted)
    {
        if (wanted)
            BeginRegistryReading();
    }
    ~RegistryReadingStay() { EndRegistryReading(); }
    RegistryReadingStay(const RegistryReadingStay&) = delete;
    RegistryReadingStay& operator=(const RegistryReadingStay&) = delete;
};

int RunScan(HWND mainWindow)
{
    // The registry's links join the valid links before the cross-check follows them.
    const bool registryLinks = ChosenImportReading() == ImportReading::ImportDirectories;
    const bool registryRead = registryLinks || g_scanInputs.countUnreadLinks;
    {
        RegistryReadingStay registry(registryRead);
        // System32 and SysWOW64 each walked once, under its own name.
        RedirectionOff unredirected(g_scanInputs.scan64);
        if (!WalkFixedDrives(mainWindow))
            return 0;
        if (registryRead)
            ReadRegistryLinks(registryLinks);
        if (!g_scanning || !CrossCheckLinks())
            return 0;
    }
    RemoveSharedDlls();
    if (!registryLinks && g_scanInputs.countUnreadLinks)
        g_unreadLinks.registryNamedListed = CountListedRegistryNames();
    return g_scanning ? 1 : 0;
}

void BeginScan(const ScanInputs& inputs)
{
    g_scanInputs = inputs;
    ForgetScanMemory();
    // Who links to whom stays after the scan: it explains the scan's answer.
    ForgetLinkGraph();
    Clear(g_resultList);
    g_unreadLinks = {};
    g_leftOut64BitDlls = 0;
    g_namingBits = 0;
    g_walkedDrives = g_hostRootDrives = 0;
    g_unreadEntries = 0;
    SetStatusLineText(" Scanning for .DLLs with links from executable files...");
    g_scanning = 1;
}

void EndScan()
{
    g_scanning = 0;
    ForgetScanMemory();
    Clear(g_validLinks);
    Clear(g_pendingLinks);
    Clear(g_fileRefs);
    Clear(g_textRefs);
}
