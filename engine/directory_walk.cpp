#include <windows.h>

#include <string>
#include <vector>

#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/file_pattern.h"
#include "engine/path_parts.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/ascii_case.h"

// A walk never goes deeper than its stacks; within 259-character paths it cannot.
static constexpr int kMaxDepth = 256;

struct Subdir
{
    std::string name;      // the name to enter it by
    std::string shortName; // its 8.3 name, empty when its long name is 8.3 already
    std::string shortPath; // its short full path when the listing gives it, else empty
};

// The walkable subdirectories of the current directory, in enumeration order, from
// its listing when it has one. Junctions and symbolic links (reparse points) are not
// entered: they show files that the walk finds under their own names elsewhere, and a
// link to its own parent would make the walk repeat itself.
static std::vector<Subdir> ListSubdirs()
{
    std::vector<Subdir> subdirs;
    const DirectoryListing* listing = CurrentListing();
    if (!listing)
        return subdirs;
    for (const ListedEntry& entry : listing->entries)
    {
        if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        Subdir subdir{UsableName(entry.longName.c_str(), entry.shortName.c_str()),
                      entry.shortName.empty() ? std::string() : NameOfEntryAlone(*listing, entry),
                      {}};
        if ((listing->plain || entry.plain) && !listing->shortDirectory.empty())
            subdir.shortPath =
                ShortPathOfEntry(*listing, entry, JoinPath(listing->directory, entry.longName).c_str());
        subdirs.push_back(std::move(subdir));
    }
    return subdirs;
}

// Enters a subdirectory of the walk's directory, unless it has gone or even its short
// path would pass the longest path the scan handles: one whose long path would is
// entered by its 8.3 name, or by its short full path. (Asking for a file's attributes
// takes this platform no call into the server.)
static bool EnterSubdir(const std::string& directory, const Subdir& subdir)
{
    // No ANSI name reaches a directory whose 8.3 name holds what the code page cannot carry.
    if (subdir.name.find_first_of("?*") != std::string::npos)
    {
        g_unreadEntries++;
        return false;
    }
    std::string path = JoinPath(directory, subdir.name);
    if (path.size() > kMaxPathLength && !subdir.shortName.empty())
        path = JoinPath(directory, subdir.shortName);
    if (path.size() > kMaxPathLength && !subdir.shortPath.empty())
        path = subdir.shortPath;
    if (directory.empty() || path.size() > kMaxPathLength)
        return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    SetScanDirectory(path);
    return true;
}

// A directory that cannot be listed may still be there but closed to the scan, as the
// process could not have made it current either: then it counts as one that cannot be
// entered. One that went away since it was entered is left to the filter pass, which
// finds that it cannot enter it again.
static bool ClosedToTheWalk(const std::string& directory)
{
    return GetFileAttributesA(directory.c_str()) != INVALID_FILE_ATTRIBUTES &&
           !SetCurrentDirectoryA(directory.c_str());
}

// The walk's stay in its directories ends with the walk, however it ends.
struct WalkStay
{
    explicit WalkStay(const std::string& root) { SetScanDirectory(root); }
    ~WalkStay() { SetScanDirectory({}); }
    WalkStay(const WalkStay&) = delete;
    WalkStay& operator=(const WalkStay&) = delete;
};

// One pattern of the filter pass; false when the user declines to go on after the
// current directory could not be entered again.
static bool ScanPatternOrAsk(HWND mainWindow, int kind, const std::string& pattern)
{
    if (ScanPattern(mainWindow, kind, pattern.c_str()) != -1)
        return true;
    return AskErrorQuestion(mainWindow) == IDYES;
}

// Whether a slot of the filter list takes files of extension already.
static bool IsFiltered(const std::vector<FilterEntry>& slots, std::string_view extension)
{
    for (const FilterEntry& slot : slots)
        if (EqualsIgnoringCase(slot.extension, extension))
            return true;
    return false;
}

struct PatternPass
{
    std::string pattern;
    int kind;
};

// The passes the filter entries make, in their order, the library pass over "*.DLL"
// among them or last. A pattern with its kind is examined once: a second pass finds
// the same files and files the same names again, and a list of 255 ".DLL" entries would
// take every DLL of the machine 255 times over.
static std::vector<PatternPass> FilterPasses(const std::vector<FilterEntry>& slots)
{
    std::vector<PatternPass> passes;
    bool libraryPass = false;
    auto add = [&](std::string pattern, int kind) {
        for (const PatternPass& pass : passes)
            if (pass.pattern == pattern && pass.kind == kind)
                return;
        passes.push_back({std::move(pattern), kind});
    };
    for (const FilterEntry& slot : slots)
    {
        if (slot.extension.empty())
            continue;
        std::string pattern = "*" + ToUpperAscii(slot.extension);
        const bool library = pattern == "*.DLL";
        libraryPass = libraryPass || library;
        add(std::move(pattern), library ? static_cast<int>(FILE_KIND_LIBRARY) : slot.kind);
    }
    if (!libraryPass)
        add("*.DLL", FILE_KIND_LIBRARY);
    return passes;
}

// The files of the current directory that the modern reading examines under the
// add-on extensions and this reading passes over, as its listing shows them.
static void CountAddOnModules(const std::vector<FilterEntry>& slots)
{
    const DirectoryListing* listing = CurrentListing();
    if (!listing)
        return;
    for (const char* extension : kLoadableModuleExtensions)
    {
        if (IsFiltered(slots, extension))
            continue;
        const std::string pattern = std::string("*") + extension;
        for (const ListedEntry& entry : listing->entries)
            if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                MatchesPlainPattern(pattern, entry.longName, entry.shortName))
                g_unreadLinks.addOnModules++;
    }
}

// Examines the files of the current directory, pattern by pattern. False when the
// walk must stop.
static bool RunFilterPass(HWND mainWindow, const std::vector<FilterEntry>& slots,
                          const std::vector<PatternPass>& passes)
{
    // The modern reading also examines the DLLs that programs load under extensions of
    // their own, as executables, unless the filter list names them.
    if (ChosenImportReading() == ImportReading::ImportDirectories)
    {
        for (const char* extension : kLoadableModuleExtensions)
            if (!IsFiltered(slots, extension) &&
                !ScanPatternOrAsk(mainWindow, FILE_KIND_EXECUTABLE, std::string("*") + extension))
                return false;
        ExamineDependencyFiles();
    }
    else if (g_scanInputs.countUnreadLinks)
        CountAddOnModules(slots);
    for (const PatternPass& pass : passes)
    {
        if (!g_scanning)
            return false;
        if (!ScanPatternOrAsk(mainWindow, pass.kind, pass.pattern))
            return false;
    }
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
    length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    WalkStay stay(current);

    const std::vector<FilterEntry>& slots = g_scanInputs.filters;
    const std::vector<PatternPass> passes = FilterPasses(slots);

    // Per depth: the directory there, its subdirectories, listed when it was entered,
    // and which of them is being walked. Each is entered by its full path, so climbing
    // back is only a return to the level above.
    struct Level
    {
        std::string directory;
        std::vector<Subdir> subdirs;
        std::size_t next = 0;
    };
    std::vector<Level> levels(1);
    int depth = 0;
    bool entered = true;
    std::string enteredShortPath;
    for (;;)
    {
        if (entered)
        {
            PumpStep();
            if (!ListCurrentDirectory(enteredShortPath) && depth > 0 && ClosedToTheWalk(CurrentDirectory()))
            {
                g_unreadEntries++;
                SetScanDirectory(levels[--depth].directory);
                entered = false;
                continue;
            }
            bool goOn = RunFilterPass(mainWindow, slots, passes);
            levels[depth] = Level{CurrentDirectory(),
                                  goOn && depth + 1 < kMaxDepth ? ListSubdirs() : std::vector<Subdir>(), 0};
            ForgetListing();
            if (!goOn)
                return 0;
        }
        Level& level = levels[depth];
        if (level.next >= level.subdirs.size())
        {
            if (--depth < 0)
                break;
            entered = false;
            continue;
        }
        const Subdir& subdir = level.subdirs[level.next++];
        enteredShortPath = subdir.shortPath;
        entered = EnterSubdir(level.directory, subdir);
        if (entered && ++depth == static_cast<int>(levels.size()))
            levels.emplace_back();
    }
    if (savedDrive > 0)
        SelectDrive(savedDrive);
    return 1;
}
