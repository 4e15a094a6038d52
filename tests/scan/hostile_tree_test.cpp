// The walk on trees that try to break it: H: (links, a closed directory, names the
// ANSI code page cannot carry, a directory that vanishes during the walk), L: (paths
// beyond the longest the scan handles), M: (thousands of subdirectories), G: (a file
// of ".DLL" repeated a million times) and N: (names that differ only in case, 8.3
// names that two folders share).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/path_parts.h"
#include "engine/scan_state.h"
#include "platform/ascii_case.h"
#include "tests/scan/scan_test_util.h"

namespace
{

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// How often each file name was examined, whatever its directory.
std::map<std::string, int> CountByName(const std::vector<std::string>& examined)
{
    std::map<std::string, int> counts;
    for (const std::string& path : examined)
    {
        PathParts parts = SplitPath(path);
        counts[ToUpperAscii(parts.base + parts.extension)]++;
    }
    return counts;
}

class HostileTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (char letter : {'W', 'H', 'K', 'L', 'M', 'G', 'N'})
            ASSERT_TRUE(DriveIsMapped(letter));
        // A failed run may have left what some tests move or remove away.
        RestoreTrees();
    }
    void TearDown() override { RestoreTrees(); }

    static void RestoreTrees()
    {
        SetCurrentDirectoryA("B:\\");
        CreateDirectoryA("H:\\VANISH\\V2", nullptr);
        MoveFileA("K:\\MOVED", "K:\\ERR");
    }

    void RecordDirectories()
    {
        recorder_.onPump = [this] {
            std::string directory = CurrentDirectory();
            if (directories_.empty() || directories_.back() != directory)
                directories_.push_back(directory);
        };
    }

    // Whether this process can list the closed directory: a process of the superuser
    // can, whatever its mode.
    static bool ClosedDirectoryOpens()
    {
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA("H:\\SHUT\\*.EXE", &entry);
        if (find == INVALID_HANDLE_VALUE)
            return false;
        FindClose(find);
        return true;
    }

    PreferencesGuard preferences_;
    ScanRecorder recorder_;
    std::vector<std::string> directories_;
};

// LOOPS\SUB\LOOP leads back to LOOPS and LOOPS\SELF to itself: walked through, they
// would make the walk repeat LOOPS until the paths grew too long.
TEST_F(HostileTreeTest, DirectoryLinksAreNotEntered)
{
    ScanSession session;
    RecordDirectories();
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('H')));
    std::map<std::string, int> counts = CountByName(recorder_.Examined());
    EXPECT_EQ(1, counts["LOOPS.EXE"]);
    EXPECT_EQ(1, counts["SUB.EXE"]);
    for (const std::string& directory : directories_)
    {
        EXPECT_EQ(std::string::npos, directory.find("\\LOOP\\")) << directory;
        EXPECT_FALSE(directory.ends_with("\\LOOP") || directory.ends_with("\\SELF")) << directory;
    }
}

// A directory of mode 000. What the walk does depends on whether the platform lets
// this process in; either way it goes on with the next sibling.
TEST_F(HostileTreeTest, ClosedDirectoryDoesNotEndTheWalk)
{
    const bool opens = ClosedDirectoryOpens();
    std::cout << "note: the closed directory H:\\SHUT " << (opens ? "opens" : "does not open")
              << " for this process" << std::endl;
    ScanSession session;
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('H')));
    std::map<std::string, int> counts = CountByName(recorder_.Examined());
    EXPECT_EQ(opens ? 1 : 0, counts["SHUT.EXE"]);
    EXPECT_EQ(1, counts["STAR.EXE"]);
    EXPECT_EQ(1, counts["V4.EXE"]);
    EXPECT_EQ(0, recorder_.questions);
    // H:\INTL\co:lon.dll, which no ANSI name reaches, counts as well.
    EXPECT_EQ(opens ? 1 : 2, g_unreadEntries);
}

// A name the ANSI code page cannot carry comes as '?' characters (or as a best fit,
// "Omega" for an omega), and a Unix name may hold a '*' or characters Windows forbids:
// none names anything in a path, the 8.3 name does; so it does for a long path too long.
TEST_F(HostileTreeTest, DirectoriesWithNamesTheCodePageCannotCarryAreWalked)
{
    ScanSession session;
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('H')));
    std::vector<std::string> examined = recorder_.Examined();
    std::map<std::string, int> counts = CountByName(examined);
    EXPECT_EQ(1, counts["CJK.EXE"]);
    EXPECT_EQ(1, counts["CJKUSE.DLL"]);
    EXPECT_EQ(1, counts["ZHUK.DLL"]);
    EXPECT_EQ(1, counts["STAR.EXE"]);
    EXPECT_EQ(1, counts["OMEGA.EXE"]);
    EXPECT_EQ(1, counts["ODD.EXE"]);
    EXPECT_EQ(1, counts["LONGAPP.EXE"]);
    for (const std::string& path : examined)
        EXPECT_EQ(std::string::npos, path.find_first_of("?*")) << path;
    EXPECT_TRUE(ContainsEnding(g_resultList, "\\CJKUSE.DLL"));
    EXPECT_TRUE(ContainsEnding(g_resultList, "\\ZHUK.DLL"));
    // W*LD.DLL, in the directory STAR*, is listed under its 8.3 name; every DLL is
    // listed under a path that names it.
    const std::vector<std::string> listed = Names(g_resultList);
    EXPECT_EQ(7u, listed.size()) << ::testing::PrintToString(listed);
    for (const std::string& path : listed)
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str())) << path;
    // Each program's import resolves beside it, in the directory of the unusual name.
    for (const char* used :
         {"\\CJKUSE.DLL", "\\OMEGAUSE.DLL", "\\OMEGA2US.DLL", "\\ODDUSE.DLL", "\\LONGUSE.DLL"})
        EXPECT_TRUE(ContainsEnding(g_validLinks, used))
            << used << ::testing::PrintToString(Names(g_validLinks));
}

// V2 goes while V1 is walked, after VANISH's subdirectories were counted: the walk
// must neither enter a sibling twice nor stop short.
TEST_F(HostileTreeTest, SubdirectoryRemovedDuringTheWalkIsSkipped)
{
    ScanSession session;
    bool removed = false;
    recorder_.onPump = [&] {
        std::string directory = CurrentDirectory();
        if (!removed && directory == "H:\\VANISH\\V1")
        {
            removed = RemoveDirectoryA("H:\\VANISH\\V2") != 0;
            EXPECT_TRUE(removed) << "error " << GetLastError();
        }
        if (directories_.empty() || directories_.back() != directory)
            directories_.push_back(directory);
    };
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('H')));
    ASSERT_TRUE(removed);
    std::map<std::string, int> counts = CountByName(recorder_.Examined());
    EXPECT_EQ(1, counts["V1.EXE"]);
    EXPECT_EQ(1, counts["V3.EXE"]);
    EXPECT_EQ(1, counts["V4.EXE"]);
    std::map<std::string, int> stays;
    for (const std::string& directory : directories_)
        stays[directory]++;
    for (const char* directory : {"H:\\VANISH\\V1", "H:\\VANISH\\V3", "H:\\VANISH\\V4"})
        EXPECT_EQ(1, stays[directory]) << directory;
}

// K:\ERR is moved away while K:\ERR\GONE is walked: as the walk enters it, before it
// is listed, or during its filter pass, after its first file. Either way the filter
// pass cannot enter it again.
TEST_F(HostileTreeTest, DirectoryThatCannotBeEnteredAgainAsksWhetherToGoOn)
{
    for (auto [duringPass, yesAnswers] : {std::pair{false, 0}, {false, 1}, {true, 0}, {true, 1}})
    {
        SCOPED_TRACE(std::string(duringPass ? "during the pass, " : "on entering, ") +
                     std::to_string(yesAnswers) + " Yes before No");
        RestoreTrees();
        recorder_.statusTexts.clear();
        recorder_.questions = 0;
        bool moved = false;
        recorder_.onPump = [&] {
            if (!moved && CurrentDirectory() == "K:\\ERR\\GONE" && recorder_.Examined().empty() != duringPass)
            {
                moved = MoveFileA("K:\\ERR", "K:\\MOVED") != 0;
                EXPECT_TRUE(moved) << "error " << GetLastError();
            }
        };
        int questions = 0;
        recorder_.answer = IDYES;
        recorder_.onQuestion = [&] {
            if (++questions > yesAnswers)
                recorder_.answer = IDNO;
        };
        ScanSession session;
        EXPECT_EQ(0, WalkDrive(nullptr, DriveNumber('K')));
        EXPECT_TRUE(moved);
        EXPECT_EQ(yesAnswers + 1, recorder_.questions);
        // No abandons the rest of the drive, not the scan.
        EXPECT_EQ(1, g_scanning);
        const std::vector<std::string> examined =
            duringPass ? std::vector<std::string>{"K:\\ERR\\GONE\\GONE.EXE"} : std::vector<std::string>{};
        EXPECT_EQ(examined, recorder_.Examined());
    }
}

// L: nests directories of eight characters: the directory at depth k has 9k + 2
// characters. The longest path taken is 259 characters.
TEST_F(HostileTreeTest, PathsBeyondTheLongestAreSkippedAndTheWalkEnds)
{
    ScanSession session;
    RecordDirectories();
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('L')));

    std::vector<std::string> expected;
    std::string directory = "L:";
    for (int level = 1; level <= 27; level++)
    {
        char name[16];
        wsprintfA(name, "\\DEEP%04d", level);
        directory += name;
        expected.push_back(directory + "\\L.EXE");
    }
    // 245 + 1 + 13 = 259 characters: examined, under its 8.3 name.
    std::string longest = directory + "\\L27LONGER.EXE";
    ASSERT_EQ(259u, longest.size());
    expected.push_back(ShortPath(longest));
    EXPECT_EQ(expected, recorder_.Examined());

    // Depth 28 (254 characters) is entered, though its file (260) is not examined;
    // depth 29 (263) is not.
    std::size_t deepest = 0;
    for (const std::string& d : directories_)
        deepest = std::max(deepest, d.size());
    EXPECT_EQ(254u, deepest);
}

TEST_F(HostileTreeTest, ThousandsOfSubdirectoriesAreWalkedToTheEnd)
{
    ScanSession session;
    RecordDirectories();
    Clock::time_point start = Clock::now();
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('M')));
    double seconds = SecondsSince(start);
    std::cout << "note: M: (" << directories_.size() << " directories, 3000 of them in one) walked in "
              << seconds << " s" << std::endl;
    const std::vector<std::string> expected = {"M:\\AFTER\\AFTER.EXE", "M:\\MANY\\FIRST\\FIRST.EXE",
                                               "M:\\MANY\\ZLAST\\ZLAST.EXE"};
    EXPECT_EQ(expected, recorder_.Examined());
    // The root, AFTER, MANY, its 3000 empty subdirectories, FIRST and ZLAST.
    EXPECT_EQ(3005u, directories_.size());
    EXPECT_LT(seconds, 240.0);
}

// The file each path names, by the platform's own identity of it.
std::uint64_t FileIdentity(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION information = {};
    const bool known = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &information);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    EXPECT_TRUE(known) << path;
    return std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow;
}

// N: as RunScan walks and cross-checks it. FOO.DLL imports BAR, its case twin foo.dll
// FOOSIDE: USE.EXE's FOO is FOO.DLL, and BAR is linked; foo.dll and FOOSIDE.DLL are
// listed, each twin judged on its own. The orphan "at 10:30.dll" is listed under a path
// that opens it for deletion. Of the two CORE.DLL in folders
// that share the 8.3 name ACME~01R, the one that APP.EXE beside it does not use is
// listed, under a path that opens it. XXUSE.EXE's import XX.DLL.DLL is the link XX.DLL,
// without a drive: checked after the DLLs of N:, it is read from the root of N:, so
// the XXDEP.DLL it imports is linked; XX.DLL itself is not, its path being relative.
TEST_F(HostileTreeTest, NamesTheHostAllowsKeepEachFileApartAndLinksResolveInOrder)
{
    ScanSession session;
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('N')));
    DropRepeatedNames(g_resultList);
    DropRepeatedNames(g_validLinks);
    DropRepeatedNames(g_pendingLinks);
    ASSERT_TRUE(Contains(g_validLinks, "XX.DLL")) << ::testing::PrintToString(Names(g_validLinks));
    ASSERT_EQ(1, CrossCheckLinks());
    const std::string unlinked = "N:\\Acme Tools 1895\\CORE.DLL";
    WIN32_FIND_DATAW colon;
    HANDLE find = FindFirstFileW(L"N:\\TWINS\\at 10*", &colon);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    const std::string colonPath = "N:\\TWINS\\" + AnsiNameOfFound(colon.cAlternateFileName);
    // SECO~QDO.DLL, in use, is named literally like the orphan's 8.3 name.
    std::vector<std::string> expected{unlinked,  "N:\\LITERAL\\Second literal.dll", "N:\\TWINS\\foo.dll",
                                      colonPath, "N:\\TWINS\\FOOSIDE.DLL",          "N:\\XX.DLL"};
    std::vector<std::string> listed = NamesOnDrive(g_resultList, 'N');
    std::sort(expected.begin(), expected.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(expected, listed);
    HANDLE deletable =
        CreateFileA(colonPath.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, deletable) << colonPath;
    if (deletable != INVALID_HANDLE_VALUE)
        CloseHandle(deletable);
    std::cout << "note: the unlinked CORE.DLL is listed as " << unlinked << std::endl;
    EXPECT_NE(FileIdentity("N:\\Acme Tools 1135\\CORE.DLL"), FileIdentity(unlinked));
    EXPECT_EQ("N:\\Acme Tools 1895", ShortPath("N:\\Acme Tools 1895"));
    // The cross-check is left in the directory of the last DLL it checked.
    char current[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, current));
    EXPECT_STREQ("N:\\", current);
}

// ".DLL.DLL.DLL...": a million names "DLL.DLL" in an INI file, a quarter million
// names "DLL" in a DLL that the cross-check reads again, all alike. Filing each one
// would cost a short-path query and a module search apiece. An INI file and a program
// that are links to /dev/zero would be read for ever.
TEST_F(HostileTreeTest, MillionDllSuffixesEndQuickly)
{
    ScanSession session(false);
    Clock::time_point start = Clock::now();
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('G')));
    double walked = SecondsSince(start);
    ASSERT_EQ(1, CrossCheckLinks());
    double checked = SecondsSince(start) - walked;
    std::cout << "note: G: walked in " << walked << " s, cross-checked in " << checked << " s" << std::endl;
    EXPECT_FALSE(Contains(g_resultList, "G:\\GNAME.DLL"));
    EXPECT_FALSE(Contains(g_resultList, "G:\\DOTDLL.DLL"));
    EXPECT_LT(walked + checked, 30.0);
}

} // namespace
