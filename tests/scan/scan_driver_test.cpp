// The cross-check and the shared-DLL pass, drive by drive: O: holds one case of every
// outcome, S: is small enough to stop the cross-check at each of its pump steps, N:
// holds a program whose import tables lie in .rdata.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/scan_state.h"
#include "settings/settings.h"
#include "tests/scan/scan_test_util.h"

namespace
{

const char kLongNamedDll[] = "O:\\SHARED\\Shared Library Of Long Name.dll";

// The drive phase for one drive, as RunScan does it for each.
void WalkOneDrive(char letter)
{
    ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber(letter)));
    SetCurrentDirectoryA("\\");
    DropDuplicates(g_resultList);
    DropDuplicates(g_validLinks);
    DropDuplicates(g_pendingLinks);
}

// The register's values for the DLLs of O:\SHARED: two counts far apart, one DLL that
// uses another, and one under its long name.
void RegisterSharedDlls()
{
    SharedDllsGuard::SetValue("O:\\SHARED\\SHR0.DLL", 0);
    SharedDllsGuard::SetValue("O:\\SHARED\\SHR9.DLL", 9);
    SharedDllsGuard::SetValue("O:\\SHARED\\SHRUSE.DLL", 1);
    SharedDllsGuard::SetValue(kLongNamedDll, 2);
}

// One scan of O: for the whole suite; each test looks at one outcome.
class OutcomeTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(DriveIsMapped('O'));
        shared_ = std::make_unique<SharedDllsGuard>();
        RegisterSharedDlls();
        {
            PreferencesGuard preferences;
            ScanRecorder recorder;
            ScanSession session;
            WalkOneDrive('O');
            ASSERT_EQ(1, CrossCheckLinks());
            afterCrossCheck_ = Names(g_resultList);
            validAfter_ = Names(g_validLinks);
            pendingAfter_ = Names(g_pendingLinks);
            RemoveSharedDlls();
            listed_ = Names(g_resultList);
        }
    }
    static void TearDownTestSuite() { shared_.reset(); }

    static bool Listed(const std::string& path)
    {
        return std::find(listed_.begin(), listed_.end(), path) != listed_.end();
    }
    static bool ListedAfterCrossCheck(const std::string& path)
    {
        return std::find(afterCrossCheck_.begin(), afterCrossCheck_.end(), path) != afterCrossCheck_.end();
    }

    static std::unique_ptr<SharedDllsGuard> shared_;
    static std::vector<std::string> afterCrossCheck_, validAfter_, pendingAfter_, listed_;
};

std::unique_ptr<SharedDllsGuard> OutcomeTest::shared_;
std::vector<std::string> OutcomeTest::afterCrossCheck_, OutcomeTest::validAfter_, OutcomeTest::pendingAfter_,
    OutcomeTest::listed_;

TEST_F(OutcomeTest, ChainOfDllsFromAnExecutableIsLinked)
{
    for (const char* path : {"O:\\APP\\CHAINA.DLL", "O:\\APP\\CHAINB.DLL", "O:\\APP\\CHAINC.DLL"})
        EXPECT_FALSE(ListedAfterCrossCheck(path)) << path;
}

TEST_F(OutcomeTest, DllsThatImportOnlyEachOtherAreBothListed)
{
    EXPECT_TRUE(Listed("O:\\PAIR\\PING.DLL"));
    EXPECT_TRUE(Listed("O:\\PAIR\\PONG.DLL"));
}

TEST_F(OutcomeTest, DllThatOnlyAListedDllUsesIsListed)
{
    EXPECT_TRUE(Listed("O:\\ORPH\\LONER.DLL"));
    EXPECT_TRUE(Listed("O:\\ORPH\\HELPER.DLL"));
}

TEST_F(OutcomeTest, ApplicationsOwnCopyIsLinkedAndTheSameNameElsewhereListed)
{
    EXPECT_FALSE(ListedAfterCrossCheck("O:\\APP\\FOO.DLL"));
    EXPECT_TRUE(Listed("O:\\LIB\\FOO.DLL"));
}

TEST_F(OutcomeTest, RegisteredDllsAreRemovedWhateverTheirCount)
{
    const std::string longNamed = ShortPath(kLongNamedDll);
    ASSERT_NE(kLongNamedDll, longNamed);
    for (const std::string& path : {std::string("O:\\SHARED\\SHR0.DLL"), std::string("O:\\SHARED\\SHR9.DLL"),
                                    std::string("O:\\SHARED\\SHRUSE.DLL"), longNamed})
    {
        EXPECT_TRUE(ListedAfterCrossCheck(path)) << path;
        EXPECT_FALSE(Listed(path)) << path;
    }
    // The register removes only what it names; it follows no imports.
    EXPECT_TRUE(Listed("O:\\SHARED\\SHRDEP.DLL"));
}

TEST_F(OutcomeTest, SixteenBitAndNonExecutableDllsAreNeverListed)
{
    EXPECT_FALSE(ListedAfterCrossCheck("O:\\OLD\\OLD16.DLL"));
    EXPECT_FALSE(ListedAfterCrossCheck("O:\\OLD\\NOTPE.DLL"));
}

TEST_F(OutcomeTest, ListHoldsExactlyTheUnlinkedDlls)
{
    const std::vector<std::string> expected = {"O:\\LIB\\FOO.DLL",    "O:\\ORPH\\HELPER.DLL",
                                               "O:\\ORPH\\LONER.DLL", "O:\\PAIR\\PING.DLL",
                                               "O:\\PAIR\\PONG.DLL",  "O:\\SHARED\\SHRDEP.DLL"};
    EXPECT_EQ(expected, listed_);
}

// Every valid link is worked off; what stays pending is what no linked file uses.
TEST_F(OutcomeTest, CrossCheckWorksOffTheQueueAndLeavesTheUnusedPending)
{
    EXPECT_TRUE(validAfter_.empty()) << ::testing::PrintToString(validAfter_);
    const std::vector<std::string> pending = {"O:\\ORPH\\HELPER.DLL", "O:\\PAIR\\PING.DLL",
                                              "O:\\PAIR\\PONG.DLL", "O:\\SHARED\\SHRDEP.DLL"};
    EXPECT_EQ(pending, pendingAfter_);
}

class SharedDllPassTest : public ::testing::Test
{
protected:
    SharedDllsGuard shared_;
    ScanRecorder recorder_;
};

TEST_F(SharedDllPassTest, MissingRegisterKeyIsCreatedAndTheListKept)
{
    SharedDllsGuard::DeleteKey();
    ASSERT_FALSE(SharedDllsGuard::KeyExists());
    ScanSession session;
    AddName(g_resultList, "O:\\LIB\\FOO.DLL");
    RemoveSharedDlls();
    EXPECT_TRUE(SharedDllsGuard::KeyExists());
    EXPECT_EQ(std::vector<std::string>{"O:\\LIB\\FOO.DLL"}, Names(g_resultList));
    EXPECT_EQ(std::vector<std::string>{" Searching Registry for Shared DLLs..."}, recorder_.statusTexts);
}

// A value name too long for a path, enumerated first, is passed over and the pass goes
// on; a Stop heard in a pump step ends it.
TEST_F(SharedDllPassTest, OverlongNameIsPassedOverAndAStopEndsThePass)
{
    SharedDllsGuard::SetValue("C:\\" + std::string(300, 'A') + ".DLL", 1);
    SharedDllsGuard::SetValue("S:\\LIB\\SPARE.DLL", 1);
    // The unnamed value names no DLL and removes none.
    SharedDllsGuard::SetValue("", 1);
    ScanSession session;
    AddName(g_resultList, "S:\\LIB\\SPARE.DLL");
    AddName(g_resultList, "S:\\LIB\\Y.DLL");
    RemoveSharedDlls();
    EXPECT_EQ(std::vector<std::string>{"S:\\LIB\\Y.DLL"}, Names(g_resultList));

    AddName(g_resultList, "S:\\LIB\\SPARE.DLL");
    recorder_.pumpSteps = 0;
    recorder_.onPump = [] { StopScan(); };
    RemoveSharedDlls();
    EXPECT_EQ(1, recorder_.pumpSteps);
    EXPECT_TRUE(Contains(g_resultList, "S:\\LIB\\SPARE.DLL"));
}

class CrossCheckStopTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(DriveIsMapped('S')); }

    PreferencesGuard preferences_;
    ScanRecorder recorder_;
};

// A Stop at any pump step of the cross-check ends it as stopped and at once, the hidden
// lists empty, also when it comes in the last iteration, which has no next one to
// notice it.
TEST_F(CrossCheckStopTest, StopAtAnyPumpStepEndsTheCrossCheckAsStopped)
{
    int steps;
    {
        ScanSession session;
        WalkOneDrive('S');
        recorder_.pumpSteps = 0;
        ASSERT_EQ(1, CrossCheckLinks());
        steps = recorder_.pumpSteps;
        EXPECT_EQ(std::vector<std::string>{"S:\\LIB\\SPARE.DLL"}, Names(g_resultList));
    }
    ASSERT_GT(steps, 3);
    for (int stopAt = 1; stopAt <= steps; stopAt++)
    {
        SCOPED_TRACE("stop at pump step " + std::to_string(stopAt) + " of " + std::to_string(steps));
        ScanSession session;
        WalkOneDrive('S');
        recorder_.pumpSteps = 0;
        recorder_.onPump = [&] {
            if (recorder_.pumpSteps == stopAt)
                StopScan();
        };
        EXPECT_EQ(0, CrossCheckLinks());
        EXPECT_EQ(stopAt, recorder_.pumpSteps) << "no pump step after the stop";
        recorder_.onPump = nullptr;
        EXPECT_EQ(0, GetCount(g_validLinks));
        EXPECT_EQ(0, GetCount(g_pendingLinks));
        EXPECT_EQ(0, GetCount(g_fileRefs));
        EXPECT_EQ(0, GetCount(g_textRefs));
    }
}

// Only with the import directories read are the program's DLLs linked, the one it
// delay-loads and the one its DLL imports included; the .idata reading counts the
// files whose tables it passed over (the program and its two LLVM-linked DLLs).
TEST(ImportReadingTest, DirectoriesLinkWhatTheIdataReadingLeavesListed)
{
    ASSERT_TRUE(DriveIsMapped('N'));
    PreferencesGuard preferences;
    ScanRecorder recorder;
    const std::vector<std::string> all = {"N:\\VIEW\\VWCORE.DLL", "N:\\VIEW\\VWDEEP.DLL",
                                          "N:\\VIEW\\VWLAZY.DLL"};
    for (unsigned char directories : {0, 1})
    {
        ScanSession session;
        g_readModernLinks = directories;
        WalkOneDrive('N');
        ASSERT_EQ(1, CrossCheckLinks());
        EXPECT_EQ(directories ? std::vector<std::string>{} : all, Names(g_resultList)) << int{directories};
        EXPECT_EQ(directories ? 0 : 3, g_unreadLinks.importTablesOutsideIdata) << int{directories};
    }
}

} // namespace
