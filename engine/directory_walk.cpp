#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/find_handle.h"
#include "engine/path_parts.h"
#include "engine/scan_state.h"
#include "settings/settings.h"
#include "shell/feedback.h"

// A walk never goes deeper than its stacks; within 259-character paths it cannot.
static constexpr int kMaxDepth = 256;

// A subdirectory the walk may enter. Junctions and symbolic links (reparse points) are
// not entered: they show files that the walk finds under their own names elsewhere,
// and a link to its own parent would make the walk repeat itself.
static bool IsWalkableSubdir(const WIN32_FIND_DATAA& entry)
{
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    return std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0;
}

// Calls visit(name) for every walkable subdirectory of the current directory, in
// enumeration order, until it answers false. A long name that the ANSI code page
// cannot carry comes back with '?' in it, and a Unix name may hold a '*': neither can
// be entered, so such a directory goes by its 8.3 name.
template <typename Visit> static void ForEachSubdir(Visit visit)
{
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA("*.*", &entry));
    if (!find.Found())
        return;
    do
    {
        if (!IsWalkableSubdir(entry))
            continue;
        const bool wildcard = std::strpbrk(entry.cFileName, "?*") && entry.cAlternateFileName[0];
        if (!visit(wildcard ? entry.cAlternateFileName : entry.cFileName))
            return;
    } while (FindNextFileA(find.handle, &entry));
}

int CountSubdirs()
{
    int count = 0;
    ForEachSubdir([&](const char*) {
        count++;
        return true;
    });
    return count;
}

int GetSubdir(char (&buffer)[MAX_PATH], int n)
{
    int position = 0;
    bool found = false;
    ForEachSubdir([&](const char* name) {
        if (position == n)
        {
            lstrcpynA(buffer, name, MAX_PATH);
            found = true;
            return false;
        }
        position++;
        return true;
    });
    return found ? n : position;
}

// Enters subdirectory n of the current directory, unless it has gone, cannot be
// entered, or its path would pass the longest path the scan handles.
static bool EnterSubdir(int n)
{
    // GetSubdir answers n also when n is the count of a directory that lost a
    // subdirectory since it was counted; the buffer is then left as it was.
    char name[MAX_PATH] = "";
    if (GetSubdir(name, n) != n || !name[0])
        return false;
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH || JoinPath(current, name).size() > kMaxPathLength)
        return false;
    return SetCurrentDirectoryA(name) != 0;
}

// One pattern of the filter pass; false when the user declines to go on after the
// current directory could not be entered again.
static bool ScanPatternOrAsk(HWND mainWindow, int kind, const std::string& pattern)
{
    if (ScanPattern(mainWindow, kind, pattern.c_str()) != -1)
        return true;
    return AskErrorQuestion(mainWindow) == IDYES;
}

// Examines the files of the current directory, pattern by pattern. The filter list is
// read again in every directory, so a changed list applies from the next one on.
// False when the walk must stop.
static bool RunFilterPass(HWND mainWindow)
{
    std::vector<FilterEntry> slots;
    ReadScanFilters(slots);

    bool libraryPassDone = false;
    for (const FilterEntry& slot : slots)
    {
        if (!g_scanning)
            return false;
        if (slot.extension.empty())
            continue;
        std::string pattern = "*" + ToUpperAscii(slot.extension);
        int kind = slot.kind;
        if (pattern == "*.DLL")
        {
            kind = FILE_KIND_LIBRARY;
            libraryPassDone = true;
        }
        if (!ScanPatternOrAsk(mainWindow, kind, pattern))
            return false;
    }
    if (!libraryPassDone)
        return ScanPatternOrAsk(mainWindow, FILE_KIND_LIBRARY, "*.DLL");
    return true;
}

static void SelectDrive(int drive)
{
    const char root[3] = {static_cast<char>('@' + drive), ':', '\0'};
    SetCurrentDirectoryA(root);
}

int WalkDrive(HWND mainWindow, int drive)
{
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    int savedDrive = 0;
    if (length >= 2 && length < MAX_PATH && current[1] == ':')
        savedDrive = (current[0] & ~0x20) - '@';

    const char root[3] = {static_cast<char>('@' + drive), ':', '\0'};
    if (!SetCurrentDirectoryA(root) || !SetCurrentDirectoryA("\\"))
        return 0;

    // Per depth: how many subdirectories the directory there has, and which of them
    // is being walked. The walk keeps no list of directories.
    int subdirCount[kMaxDepth];
    int subdirIndex[kMaxDepth];
    int depth = 0;
    bool entered = true;
    for (;;)
    {
        if (entered)
        {
            PumpStep();
            if (!RunFilterPass(mainWindow))
                return 0;
            subdirCount[depth] = depth + 1 < kMaxDepth ? CountSubdirs() : 0;
            subdirIndex[depth] = -1;
        }
        int next = subdirIndex[depth] + 1;
        if (next >= subdirCount[depth])
        {
            if (--depth < 0)
                break;
            SetCurrentDirectoryA("..");
            entered = false;
            continue;
        }
        subdirIndex[depth] = next;
        entered = EnterSubdir(next);
        if (entered)
            depth++;
    }
    if (savedDrive > 0)
        SelectDrive(savedDrive);
    return 1;
}
