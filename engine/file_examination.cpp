#include <windows.h>

#include <cstring>
#include <string>

#include "engine/engine.h"
#include "engine/find_handle.h"
#include "engine/import_reader.h"
#include "engine/path_parts.h"
#include "engine/reference_scanner.h"
#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "settings/filter_entry.h"
#include "shell/feedback.h"

// The name to compose a path with. A long name that the ANSI code page cannot carry
// comes back with '?' in it, and a Unix name may hold a '*': either would name no
// file, its 8.3 name still does.
static const char* UsableFileName(const WIN32_FIND_DATAA& entry)
{
    if (std::strpbrk(entry.cFileName, "?*") && entry.cAlternateFileName[0])
        return entry.cAlternateFileName;
    return entry.cFileName;
}

int ScanPattern(HWND mainWindow, int kind, const char* pattern)
{
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH)
        return -1;
    // Enter the directory again through its drive and root: whatever a dispatched
    // command did to the current directory, the files found are the walk's.
    const char drive[3] = {static_cast<char>(current[0] & ~0x20), ':', '\0'};
    if (!SetCurrentDirectoryA(drive) || !SetCurrentDirectoryA("\\") || !SetCurrentDirectoryA(current))
        return -1;

    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(pattern, &entry));
    if (!find.Found())
        return 0;
    bool first = true;
    do
    {
        std::string path = JoinPath(current, UsableFileName(entry));
        if (path.size() <= kMaxPathLength)
            ExamineFile(mainWindow, path.c_str(), kind);
        if (!first)
        {
            PumpStep();
            if (!g_scanning)
                break;
        }
        first = false;
    } while (FindNextFileA(find.handle, &entry));
    return 0;
}

void ExamineFile(HWND mainWindow, const char* path, int kind)
{
    char shortPath[MAX_PATH];
    QemGetDOSFileName(path, shortPath);
    std::string status = std::string(" Examining ") + shortPath;
    SetStatusText(status.c_str());

    int imports = ReadImports(g_fileRefs, shortPath);
    int scanned = 0;
    if (kind == FILE_KIND_OTHER)
    {
        if (!g_quickScan)
            scanned = ScanForModuleNames(g_textRefs, shortPath, 1, FILE_KIND_OTHER);
    }
    else if (imports != -1)
    {
        // Kinds beyond the three (only a hand-edited filter entry gives one) are read
        // like the library pass but never listed.
        if (kind == FILE_KIND_LIBRARY)
            AddName(g_resultList, shortPath);
        if (!g_quickScan)
            scanned = ScanForModuleNames(g_fileRefs, shortPath, 1,
                                         kind == FILE_KIND_EXECUTABLE ? kind : FILE_KIND_LIBRARY);
    }
    if (imports != -1 || scanned != 0)
        FileLinks(mainWindow, kind);
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
        char shortName[MAX_PATH];
        QemGetDOSFileName(name, shortName);
        PathParts parts = SplitPath(shortName);
        if (!parts.drive.empty())
        {
            AddName(g_validLinks, shortName);
            continue;
        }
        lstrcpynA(name, parts.base.c_str(), MAX_PATH);
        if (ResolveModule(name) == MODULE_DLL)
            AddName(g_validLinks, name);
    }
    Clear(g_textRefs);
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
    NameList& target = kind == FILE_KIND_EXECUTABLE ? g_validLinks : g_pendingLinks;
    int count = GetCount(g_fileRefs);
    for (int i = 0; i < count; i++)
    {
        PumpStep();
        if (!g_scanning)
            return;
        char name[MAX_PATH];
        if (GetName(g_fileRefs, i, name) >= 0 && ResolveModule(name) == MODULE_DLL)
            AddName(target, name);
    }
}
