#include <windows.h>

#include <string>
#include <vector>

#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/file_pattern.h"
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

// The path to examine a found file by. A long name that the ANSI code page cannot carry
// comes with '?' in it, and a Unix name may hold a '*': either would name no file, nor
// does a path longer than the scan handles; its 8.3 name still does. Empty when no path
// fits.
static std::string UsablePath(const std::string& directory, const WIN32_FIND_DATAW& entry)
{
    std::string path = JoinPath(directory, AnsiNameOfFound(entry.cFileName));
    if ((path.find_first_of("?*", directory.size()) != std::string::npos || path.size() > kMaxPathLength) &&
        entry.cAlternateFileName[0])
        path = JoinPath(directory, AnsiNameOfFound(entry.cAlternateFileName));
    return path.size() <= kMaxPathLength ? path : std::string();
}

static void ExamineShortPath(HWND mainWindow, const char* shortPath, const char* path, int kind,
                             const ListedEntry* listed);

// A file that went away since it was listed is no loss; one that is there but closed
// to the scan may link to DLLs that will be listed.
static void NoteUnopenedFile()
{
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        g_unreadEntries++;
}

// After every file of a pattern but the first, a pump step; false once the scan has
// stopped.
static bool GoOnAfterFile(bool& first)
{
    if (first)
    {
        first = false;
        return true;
    }
    PumpStep();
    return g_scanning != 0;
}

// The pattern asked of the platform: the directory entered again through its drive and
// root, then enumerated on the pattern.
static int ScanPatternByEnumeration(HWND mainWindow, int kind, const char* pattern)
{
    const std::string current = CurrentDirectory();
    if (current.empty())
        return -1;
    // Enter the directory through its drive and root: whatever a dispatched command
    // did to the process's current directory, the files found are the walk's.
    const char drive[3] = {static_cast<char>(current[0] & ~0x20), ':', '\0'};
    if (!SetCurrentDirectoryA(drive) || !SetCurrentDirectoryA("\\") || !SetCurrentDirectoryA(current.c_str()))
        return -1;

    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileW(WideOfAnsi(pattern).c_str(), &entry));
    if (!find.IsValid())
        return 0;
    bool first = true;
    do
    {
        const std::string path = UsablePath(current, entry);
        if (path.find_first_of("?*") != std::string::npos)
            g_unreadEntries++;
        else if (!path.empty())
            ExamineFile(mainWindow, path.c_str(), kind);
        if (!GoOnAfterFile(first))
            break;
    } while (FindNextFileW(find.handle, &entry));
    return 0;
}

// The pattern decided on the directory's listing, made when the walk entered the
// directory a moment ago; its files are opened by their full paths.
static int ScanListedPattern(HWND mainWindow, int kind, const char* pattern, const DirectoryListing& listing)
{
    std::vector<const ListedEntry*> matches;
    for (const ListedEntry& entry : listing.entries)
        if (MatchesPlainPattern(pattern, entry.longName, entry.shortName))
            matches.push_back(&entry);
    if (matches.empty())
        return 0;

    bool first = true;
    for (const ListedEntry* entry : matches)
    {
        const std::string usable = UsableName(*entry);
        std::string path = JoinPath(listing.directory, usable);
        if (path.size() > kMaxPathLength || usable != entry->longName)
            path = JoinPath(listing.directory, NameOfEntryAlone(listing, *entry));
        // No ANSI name reaches a file whose 8.3 name holds what the code page cannot carry.
        if (usable.empty())
            g_unreadEntries++;
        else if (path.size() <= kMaxPathLength)
            ExamineShortPath(mainWindow, ShortPathOfEntry(listing, *entry, path.c_str()).c_str(),
                             path.c_str(), kind, entry);
        if (!GoOnAfterFile(first))
            break;
    }
    return 0;
}

int ScanPattern(HWND mainWindow, int kind, const char* pattern)
{
    // A plain pattern is decided on any listing: its extension is ASCII, and the names,
    // as the wide enumeration gives them, end in it or not. One name beyond the plain
    // ones must not send every file of a folder of thousands to the platform.
    const DirectoryListing* listing = CurrentListing();
    if (listing && IsPlainPattern(pattern))
    {
        // The directory is not entered again, but one that has gone since it was listed
        // could not be: that asks whether to go on, as entering it would. Asking for its
        // attributes takes this platform no call into the server, but a stat. Only a pump
        // step during an examination can have let anything take it away.
        if (g_scanMemory.examinedSinceSeen)
        {
            const DWORD attributes = GetFileAttributesA(listing->directory.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return -1;
            g_scanMemory.examinedSinceSeen = false;
        }
        return ScanListedPattern(mainWindow, kind, pattern, *listing);
    }
    return ScanPatternByEnumeration(mainWindow, kind, pattern);
}

void ExamineFile(HWND mainWindow, const char* path, int kind)
{
    char shortPath[MAX_PATH];
    QemGetDOSFileName(path, shortPath);
    ExamineShortPath(mainWindow, shortPath, path, kind, nullptr);
}

static bool FileModuleReferences(NameList* target, std::vector<std::string>* filed,
                                 std::vector<LinkKind>* kinds);

// Reads an executable's import names into the file reference list, lists it when it is
// a DLL of the library pass, and with Quick Scan off searches its bytes too: one open
// for both readers. The import reader's answer; scanned gets the search's, bits the
// file's width as the reader found it.
static int ReadExecutable(const char* shortPath, const char* path, int kind, bool quickScan,
                          ExeReading reading, int& scanned, int& bits)
{
    HANDLE held = g_scanMemory.modules.typedFiles.Take(shortPath);
    FileHandle file(held != INVALID_HANDLE_VALUE
                        ? held
                        : CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
    {
        NoteUnopenedFile();
        return -1;
    }
    bool unreadTables = false;
    bool managed = false;
    PagedBytes bytes = FileBytes(file.handle);
    const int imports = ReadImportsFrom(g_fileRefs, bytes, reading, unreadTables, bits, &managed);
    if (imports == -1)
    {
        if (bits == 64 && kind == FILE_KIND_LIBRARY)
            g_leftOut64BitDlls++;
        return -1;
    }
    if (reading.imports == ImportReading::ImportDirectories)
    {
        FileAssemblies(path, bytes);
        if (managed)
            FileManagedLinks(path, bytes);
        FileHostLinks(path);
    }
    else
    {
        if (managed)
            g_unreadLinks.managedFiles++;
        if (g_scanInputs.countUnreadLinks)
        {
            g_unreadLinks.forwardingFiles += ForwardsExports(bytes) ? 1 : 0;
            g_unreadLinks.manifestFiles += NamesAssemblies(path, bytes) ? 1 : 0;
        }
    }
    // A full scan finds the names of tables the reader passed over in the file's bytes.
    if (unreadTables && quickScan)
    {
        g_unreadLinks.importTablesOutsideIdata++;
        RecordUnreadImportTables();
    }
    // Kinds beyond the three (only a hand-edited filter entry gives one) are read like
    // the library pass but never listed.
    if (kind == FILE_KIND_LIBRARY)
        AddName(g_resultList, shortPath);
    if (!quickScan)
        scanned = ScanFileForModuleNames(g_fileRefs, file.handle,
                                         kind == FILE_KIND_EXECUTABLE ? kind : FILE_KIND_LIBRARY,
                                         ChosenProgramNames());
    return imports;
}

// The file is named by its short path and opened by its long one, path: the platform
// finds a file by a long name at once, by an 8.3 name that it made up only by going
// through the whole directory. listed is the file's entry in the directory's listing,
// when it was found there.
static void ExamineShortPath(HWND mainWindow, const char* shortPath, const char* path, int kind,
                             const ListedEntry* listed)
{
    std::string status = std::string(kExaminingText) + shortPath;
    SetStatusText(status.c_str());
    SetActivationContext({});
    NoteExaminedFile(shortPath, path);
    g_scanMemory.examinedSinceSeen = true;

    // The import names of an other format are never filed, so its imports are not read.
    if (kind == FILE_KIND_OTHER)
    {
        g_namingBits = 0;
        if (!QuickScan() && ScanForModuleNames(g_textRefs, path, 1, FILE_KIND_OTHER))
            FileLinks(mainWindow, kind);
        return;
    }

    const bool quickScan = QuickScan();
    const ExeReading reading = ChosenExeReading();
    int scanned = 0;
    int bits = 0;
    const int imports = ReadExecutable(shortPath, path, kind, quickScan, reading, scanned, bits);
    if (reading.take64)
        NoteFileBits(shortPath, bits);
    g_namingBits = reading.take64 ? bits : 0;
    if (kind == FILE_KIND_EXECUTABLE)
    {
        if (imports != -1 || scanned != 0)
            FileLinks(mainWindow, kind);
    }
    else
    {
        // What a DLL refers to is filed as pending and kept for the cross-check, which
        // reads it the same way. A file the reader gave up on files nothing here, but
        // the names read before the reader gave up count in the cross-check.
        DropDuplicates(g_fileRefs);
        NameList* target = imports != -1 || scanned != 0 ? &g_pendingLinks : nullptr;
        std::vector<std::string> links;
        std::vector<LinkKind> kinds;
        if (FileModuleReferences(target, &links, &kinds))
            RecordLibraryLinks(links, kinds, kind == FILE_KIND_LIBRARY,
                               kind == FILE_KIND_LIBRARY && imports != -1, target != nullptr,
                               listed ? &listed->size : nullptr, quickScan,
                               reading.imports == ImportReading::ImportDirectories);
    }
    Clear(g_fileRefs);
}

// Files the names found in an other-format file: a name with a drive as it stands
// (whether or not the file exists), any other by its base name along the search path.
static void FileTextReferences()
{
    int count = GetCount(g_textRefs);
    for (int i = 0; i < count; i++)
    {
        PumpStep();
        if (!g_scanning)
            return;
        char name[MAX_PATH];
        if (GetName(g_textRefs, i, name) < 0)
            continue;
        const std::string found = name;
        // Asking the platform for a short name means a search along the name's path; a
        // bare 8.3 name is its own short name.
        const std::string shortName = IsBare83Name(name) ? std::string(name) : ShortPathOfNamedFile(name);
        PathParts parts = SplitPath(shortName);
        if (!parts.drive.empty())
        {
            AddNameOnce(g_validLinks, shortName);
            RecordDirectLink(shortName.c_str(), false, found.c_str());
            continue;
        }
        lstrcpynA(name, parts.base.c_str(), MAX_PATH);
        if (ResolveModule(name) == MODULE_DLL)
        {
            AddNameOnce(g_validLinks, name);
            RecordDirectLink(name, false, found.c_str());
        }
    }
    Clear(g_textRefs);
}

// Resolves the names of the file reference list and files each that is a DLL into
// target (when given) and filed, with how each was found, (when given). False when the
// scan was stopped first.
static bool FileModuleReferences(NameList* target, std::vector<std::string>* filed,
                                 std::vector<LinkKind>* kinds)
{
    int count = GetCount(g_fileRefs);
    for (int i = 0; i < count; i++)
    {
        PumpStep();
        if (!g_scanning)
            return false;
        char name[MAX_PATH];
        if (GetName(g_fileRefs, i, name) < 0)
            continue;
        const LinkKind kind = LinkKindOf(name);
        if (ResolveModule(name) != MODULE_DLL)
            continue;
        if (target)
            AddNameOnce(*target, name);
        if (target == &g_validLinks)
            RecordDirectLink(name, true, "", kind);
        if (filed)
        {
            filed->push_back(name);
            kinds->push_back(kind);
        }
    }
    return true;
}

// A name found again resolves as it did the first time, and a file's bytes may name
// one module a million times (".DLL.DLL.DLL..."): each name is filed once.
void FileLinks(HWND, int kind)
{
    if (kind == FILE_KIND_OTHER)
    {
        DropDuplicates(g_textRefs);
        FileTextReferences();
        return;
    }
    DropDuplicates(g_fileRefs);
    FileModuleReferences(kind == FILE_KIND_EXECUTABLE ? &g_validLinks : &g_pendingLinks, nullptr, nullptr);
}
