// The directory walk and the filter pass on the fixture drives W: (order and paths)
// and F: (one file per default extension, at the root and in F:\SUB).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/path_parts.h"
#include "engine/scan_state.h"
#include "platform/ascii_case.h"
#include "platform/qemcom95.h"
#include "settings/settings.h"
#include "tests/scan/scan_test_util.h"

namespace
{

std::string ProcessDirectory()
{
    char buffer[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    return length && length < MAX_PATH ? buffer : "";
}

class WalkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DriveIsMapped('W'));
        ASSERT_TRUE(DriveIsMapped('F'));
    }

    // The directories the walk stood in, in order, one entry per stay: the pump step
    // at the start of every directory (and those after files) shows them.
    void RecordDirectories()
    {
        recorder_.onPump = [this] {
            std::string directory = CurrentDirectory();
            if (directories_.empty() || directories_.back() != directory)
                directories_.push_back(directory);
        };
    }

    PreferencesGuard preferences_;
    ScanRecorder recorder_;
    std::vector<std::string> directories_;
};

const std::vector<std::string> kWalkOrder = {
    "W:\\ROOT.EXE",    "W:\\Z.EXE",       "W:\\ROOT.DLL",         "W:\\A\\A.EXE",
    "W:\\A\\A.DLL",    "W:\\A\\B\\B.EXE", "W:\\A\\B\\C\\C.EXE",   "W:\\A\\D\\D.EXE",
    "W:\\A\\F\\F.EXE", "W:\\G\\G.EXE",    "W:\\I\\I1\\I2\\I.EXE",
};

TEST_F(WalkTest, FilesComeBeforeSubdirectoriesAndSiblingsFollowInOrder)
{
    ScanSession session;
    RecordDirectories();
    ASSERT_TRUE(SetCurrentDirectoryA("B:\\bin"));
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('W')));

    EXPECT_EQ(kWalkOrder, recorder_.Examined());
    // Empty directories too are entered once, in pre-order, and left at once.
    const std::vector<std::string> directories = {
        "W:\\",     "W:\\A", "W:\\A\\B", "W:\\A\\B\\C", "W:\\A\\D",  "W:\\A\\E",
        "W:\\A\\F", "W:\\G", "W:\\H",    "W:\\I",       "W:\\I\\I1", "W:\\I\\I1\\I2",
    };
    EXPECT_EQ(directories, directories_);
    // A finished walk selects again the drive that was current before it.
    EXPECT_EQ('B', ProcessDirectory()[0]) << ProcessDirectory();
}

TEST_F(WalkTest, OneSeparatorBetweenDirectoryAndNameAtTheRootAndBelow)
{
    ScanSession session;
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('W')));
    for (const std::string& path : recorder_.Examined())
        EXPECT_EQ(std::string::npos, path.find("\\\\")) << path;
    const std::vector<std::string> listed = {"W:\\A\\A.DLL", "W:\\ROOT.DLL"};
    EXPECT_EQ(listed, Names(g_resultList));
}

TEST_F(WalkTest, DriveThatCannotBeEnteredIsNotWalked)
{
    const char root[] = "Y:\\";
    if (GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR)
        GTEST_SKIP() << "drive Y: exists in this prefix";
    ScanSession session;
    ASSERT_TRUE(SetCurrentDirectoryA("B:\\bin"));
    EXPECT_EQ(0, WalkDrive(nullptr, DriveNumber('Y')));
    EXPECT_TRUE(recorder_.Examined().empty());
    EXPECT_TRUE(EqualsIgnoringCase("B:\\bin", ProcessDirectory())) << ProcessDirectory();
}

// Whatever pump step the stop comes in, the walk ends there: at most the next file
// of the pattern under way is still examined, and the saved drive is not selected.
TEST_F(WalkTest, StopAtAnyPumpStepEndsTheWalk)
{
    int steps;
    {
        ScanSession session;
        ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('W')));
        steps = recorder_.pumpSteps;
    }
    ASSERT_GT(steps, 10);
    for (int stopAt = 1; stopAt <= steps; stopAt++)
    {
        SCOPED_TRACE("stop at pump step " + std::to_string(stopAt));
        recorder_.statusTexts.clear();
        recorder_.pumpSteps = 0;
        std::size_t examinedAtStop = 0;
        recorder_.onPump = [&] {
            if (recorder_.pumpSteps == stopAt)
            {
                examinedAtStop = recorder_.Examined().size();
                StopScan();
            }
        };
        ScanSession session;
        ASSERT_TRUE(SetCurrentDirectoryA("B:\\bin"));
        EXPECT_EQ(0, WalkDrive(nullptr, DriveNumber('W')));
        std::vector<std::string> examined = recorder_.Examined();
        EXPECT_LE(examined.size(), examinedAtStop + 1);
        ASSERT_LE(examined.size(), kWalkOrder.size());
        EXPECT_EQ(std::vector<std::string>(kWalkOrder.begin(), kWalkOrder.begin() + examined.size()),
                  examined);
        EXPECT_EQ('W', ProcessDirectory()[0]) << ProcessDirectory();
    }
}

// The extensions examined in one directory of F:, in order.
std::vector<std::string> ExtensionsIn(const std::vector<std::string>& examined, const std::string& directory)
{
    std::vector<std::string> extensions;
    for (const std::string& path : examined)
    {
        PathParts parts = SplitPath(path);
        if (EqualsIgnoringCase(parts.drive + parts.directory, directory))
            extensions.push_back(parts.extension);
    }
    return extensions;
}

struct FilterCase
{
    const char* name;
    bool stored;
    std::vector<FilterEntry> entries;
    std::vector<std::string> order;
};

TEST_F(WalkTest, FilterPassRunsTheEntriesInOrderWithTheLibraryPassInItsPlace)
{
    const std::vector<FilterCase> cases = {
        {"nothing stored: the thirteen defaults, the library pass second",
         false,
         {},
         {".EXE", ".DLL", ".CNV", ".FLT", ".EQU", ".VBX", ".OCX", ".DRV", ".GRP", ".INI", ".CPL", ".3GR",
          ".SCR"}},
        {"stored without .DLL: the library pass last",
         true,
         {{".INI", 0}, {".EXE", 1}, {".SCR", 1}},
         {".INI", ".EXE", ".SCR", ".DLL"}},
        {".dll in lower case: runs in its place",
         true,
         {{".EXE", 1}, {".dll", 0}, {".INI", 0}},
         {".EXE", ".DLL", ".INI"}},
        {".DLL and .exe twice: each pattern once",
         true,
         {{".DLL", 1}, {".EXE", 1}, {".DLL", 1}, {".exe", 1}},
         {".DLL", ".EXE"}},
        {"stored without a program entry: the defaults",
         true,
         {{".INI", 0}, {".DLL", 1}},
         {".EXE", ".DLL", ".CNV", ".FLT", ".EQU", ".VBX", ".OCX", ".DRV", ".GRP", ".INI", ".CPL", ".3GR",
          ".SCR"}},
    };
    for (const FilterCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        EraseFilterList();
        if (c.stored)
            StoreFilterList(c.entries);
        recorder_.statusTexts.clear();
        ScanSession session;
        ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('F')));
        std::vector<std::string> examined = recorder_.Examined();
        EXPECT_EQ(c.order, ExtensionsIn(examined, "F:\\"));
        EXPECT_EQ(c.order, ExtensionsIn(examined, "F:\\SUB\\"));
        // .TXT and .BAT are in no list.
        EXPECT_EQ(2 * c.order.size(), examined.size());
    }
}

// Kind 0 would search the file's bytes and list nothing; the library pass lists the
// DLL and files its imports as pending links. (F.TXT, read as a program, is no PE
// file: it keeps the list from being passed over without filing anything.)
TEST_F(WalkTest, LowerCaseDllOfKindZeroIsTheLibraryPass)
{
    StoreFilterList({{".dll", 0}, {".TXT", 1}});
    ScanSession session;
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('F')));
    const std::vector<std::string> listed = {"F:\\F.DLL", "F:\\SUB\\F.DLL"};
    EXPECT_EQ(listed, Names(g_resultList));
    // Each copy of F.DLL imports KERNEL32, filed once.
    EXPECT_EQ(std::vector<std::string>{SystemFile("kernel32.dll")}, Names(g_pendingLinks));
    EXPECT_EQ(0, GetCount(g_validLinks));
}

TEST_F(WalkTest, StoredEntryWithoutKindIsAnExecutable)
{
    unsigned char one = 1;
    QemSaveRegEntry(kPreferencesSection, "Count", &one, 0, QEM_PRODUCT_ORVENNA);
    QemSaveRegEntry(kPreferencesSection, "Ext1", ".EXE", 4, QEM_PRODUCT_ORVENNA);
    ScanSession session;
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('F')));
    // F.EXE imports F and KERNEL32, found beside it and in the system directory.
    EXPECT_TRUE(Contains(g_validLinks, "F:\\F.DLL"));
    EXPECT_TRUE(Contains(g_validLinks, "F:\\SUB\\F.DLL"));
    EXPECT_TRUE(Contains(g_validLinks, SystemFile("kernel32.dll")));
}

// Only a hand-edited entry has a kind beyond 0 and 1: its files are read like DLLs
// of the library pass, their imports pending, but they are not listed.
TEST_F(WalkTest, EntryOfUnknownKindIsReadLikeALibraryButNotListed)
{
    unsigned char two = 2;
    QemSaveRegEntry(kPreferencesSection, "Count", &two, 0, QEM_PRODUCT_ORVENNA);
    QemSaveRegEntry(kPreferencesSection, "Ext1", ".OCX 7", 6, QEM_PRODUCT_ORVENNA);
    QemSaveRegEntry(kPreferencesSection, "Ext2", ".TXT 1", 6, QEM_PRODUCT_ORVENNA);
    ScanSession session;
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('F')));
    const std::vector<std::string> listed = {"F:\\F.DLL", "F:\\SUB\\F.DLL"};
    EXPECT_EQ(listed, Names(g_resultList));
    EXPECT_TRUE(Contains(g_pendingLinks, "F:\\F.DLL"));
    EXPECT_TRUE(Contains(g_pendingLinks, "F:\\SUB\\F.DLL"));
    EXPECT_EQ(0, GetCount(g_validLinks));
}

} // namespace
