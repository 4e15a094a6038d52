// Whole scans of the test prefix: drive C: (Wine's own installation), then the fixture
// drives N:, O:, P: and S:; B: (the build tree, where the test runs) is not scanned, nor
// R:, which maps the host's root directory as a fresh prefix's Z: does. Each
// scan walks all of C:, so only what needs the whole scan is tested here.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/scan_state.h"
#include "tests/scan/scan_test_util.h"

namespace
{

const char kCrossChecking[] = " Cross checking valid .DLL links with other .DLLs...";
const char kSearchingRegistry[] = " Searching Registry for Shared DLLs...";

class WholeScanTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (char letter : {'N', 'O', 'P', 'S'})
            ASSERT_TRUE(DriveIsMapped(letter));
    }

    bool SawStatusLine(const char* text) const
    {
        return std::find(recorder_.statusLineTexts.begin(), recorder_.statusLineTexts.end(), text) !=
               recorder_.statusLineTexts.end();
    }
    bool SawStatusText(const char* text) const
    {
        return std::find(recorder_.statusTexts.begin(), recorder_.statusTexts.end(), text) !=
               recorder_.statusTexts.end();
    }

    SharedDllsGuard shared_;
    PreferencesGuard preferences_;
    ScanRecorder recorder_;
};

TEST_F(WholeScanTest, FixedDrivesAreWalkedFromCOnwardsAndTheScanFinishes)
{
    SharedDllsGuard::SetValue("O:\\SHARED\\SHR0.DLL", 0);
    SharedDllsGuard::SetValue("O:\\SHARED\\SHR9.DLL", 9);
    SharedDllsGuard::SetValue("O:\\SHARED\\SHRUSE.DLL", 1);
    SharedDllsGuard::SetValue("O:\\SHARED\\Shared Library Of Long Name.dll", 2);
    ScanSession session;
    // R: maps the host's root directory: a walk into it is stopped at once, and fails.
    recorder_.onPump = [this] {
        if (!recorder_.statusTexts.empty() && recorder_.statusTexts.back().rfind(" Examining R:", 0) == 0)
            StopScan();
    };
    ASSERT_EQ(1, RunScan(nullptr));
    EXPECT_EQ(1u << ('R' - 'A'), g_hostRootDrives);
    EXPECT_EQ("Left out R:, the host's root under Wine", HostRootDrivesNote());
    EXPECT_EQ("CNOPRS", DrivesWithHostRoots());

    // The drive letters of the examined files, each run of equal letters once.
    std::string drives;
    for (const std::string& path : recorder_.Examined())
        if (drives.empty() || drives.back() != path[0])
            drives += path[0];
    EXPECT_EQ("CNOPS", drives);

    const std::vector<std::string> onO = {"O:\\LIB\\FOO.DLL",    "O:\\ORPH\\HELPER.DLL",
                                          "O:\\ORPH\\LONER.DLL", "O:\\PAIR\\PING.DLL",
                                          "O:\\PAIR\\PONG.DLL",  "O:\\SHARED\\SHRDEP.DLL"};
    EXPECT_EQ(onO, NamesOnDrive(g_resultList, 'O'));
    EXPECT_EQ(std::vector<std::string>{"P:\\PAPP\\PSPARE.DLL"}, NamesOnDrive(g_resultList, 'P'));
    EXPECT_EQ(std::vector<std::string>{"S:\\LIB\\SPARE.DLL"}, NamesOnDrive(g_resultList, 'S'));
    EXPECT_GT(NamesOnDrive(g_resultList, 'C').size(), 0u);
    EXPECT_EQ(static_cast<std::size_t>(GetCount(g_resultList)), NamesOnDrive(g_resultList, 'C').size() +
                                                                    NamesOnDrive(g_resultList, 'N').size() +
                                                                    onO.size() + 2);

    EXPECT_TRUE(SawStatusLine(kCrossChecking));
    EXPECT_EQ(kSearchingRegistry, recorder_.statusTexts.back());
    EXPECT_EQ(0, GetCount(g_validLinks));
}

TEST_F(WholeScanTest, StopInTheDrivePhaseEndsTheScan)
{
    ScanSession session;
    recorder_.onPump = [] { StopScan(); };
    EXPECT_EQ(0, RunScan(nullptr));
    EXPECT_LE(recorder_.Examined().size(), 1u);
    EXPECT_FALSE(SawStatusLine(kCrossChecking));
    EXPECT_FALSE(SawStatusText(kSearchingRegistry));
    for (const NameList* list : {&g_validLinks, &g_pendingLinks, &g_fileRefs, &g_textRefs})
        EXPECT_EQ(0, GetCount(*list));
}

TEST_F(WholeScanTest, StopInTheCrossCheckEndsTheScan)
{
    ScanSession session;
    int checksAtStop = -1;
    recorder_.onPump = [&] {
        if (checksAtStop < 0 && SawStatusLine(kCrossChecking))
        {
            checksAtStop = static_cast<int>(recorder_.StatusTextsBeginning(" Checking links in ").size());
            StopScan();
        }
    };
    EXPECT_EQ(0, RunScan(nullptr));
    ASSERT_GE(checksAtStop, 0);
    // The iteration under way when Stop came was the last.
    EXPECT_LE(recorder_.StatusTextsBeginning(" Checking links in ").size(),
              static_cast<std::size_t>(checksAtStop) + 1);
    EXPECT_FALSE(SawStatusText(kSearchingRegistry));
    for (const NameList* list : {&g_validLinks, &g_pendingLinks, &g_fileRefs, &g_textRefs})
        EXPECT_EQ(0, GetCount(*list));
}

} // namespace
