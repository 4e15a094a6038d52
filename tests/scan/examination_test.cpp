// File examination and module resolution on the fixture drives E: (resolution,
// references in other formats, module names in bytes, 16-bit DLLs) and T: (Quick
// Scan changed during a walk).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/scan_state.h"
#include "settings/settings.h"
#include "tests/scan/scan_test_util.h"

namespace
{

const char kLongDirectory[] =
    "E:\\LONGPATH\\LEVEL001\\LEVEL002\\LEVEL003\\LEVEL004\\LEVEL005\\LEVEL006\\LEVEL007"
    "\\LEVEL008\\LEVEL009\\LEVEL010\\LEVEL011\\LEVEL012\\LEVEL013\\LEVEL014";

class ExaminationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DriveIsMapped('E'));
        ASSERT_TRUE(DriveIsMapped('T'));
    }
    void TearDown() override { SetCurrentDirectoryA("B:\\"); }

    // Walks E: with Quick Scan as given.
    static void WalkE(bool quickScan)
    {
        g_quickScan = quickScan ? 1 : 0;
        ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('E')));
    }

    // ResolveModule's answer for name, with directory current; name becomes what
    // ResolveModule left in its buffer.
    static int Resolve(const char* directory, std::string& name)
    {
        EXPECT_TRUE(SetCurrentDirectoryA(directory)) << directory;
        char buffer[MAX_PATH];
        lstrcpynA(buffer, name.c_str(), MAX_PATH);
        int answer = ResolveModule(buffer);
        name = buffer;
        return answer;
    }

    PreferencesGuard preferences_;
    ScanRecorder recorder_;
};

TEST_F(ExaminationTest, ModuleResolvesFromTheExaminedFilesDirectoryBeforeTheSystems)
{
    ScanSession session;
    WalkE(true);
    // APP.EXE imports VERSION, which lies beside it and in the system directory.
    EXPECT_TRUE(Contains(g_validLinks, "E:\\APP\\VERSION.DLL"));
    EXPECT_TRUE(Contains(g_validLinks, "E:\\APP\\LOCAL.DLL"));
    EXPECT_TRUE(Contains(g_validLinks, SystemFile("kernel32.dll")));
    // OTHER.EXE imports VERSION too, with no copy beside it.
    EXPECT_TRUE(Contains(g_validLinks, SystemFile("version.dll")));
    EXPECT_FALSE(ContainsEnding(g_validLinks, "\\ONLYEXE.EXE"));
    EXPECT_FALSE(ContainsEnding(g_validLinks, "\\ONLYEXE.DLL"));
    EXPECT_FALSE(ContainsEnding(g_validLinks, "NOWHERE"));
}

TEST_F(ExaminationTest, ResolveModuleAnswersByExtension)
{
    std::string name = "ONLYEXE";
    EXPECT_EQ(MODULE_EXE, Resolve("E:\\APP", name));
    EXPECT_EQ("E:\\APP\\ONLYEXE.EXE", name);

    name = "NOWHERE";
    EXPECT_EQ(-1, Resolve("E:\\APP", name));
    EXPECT_EQ("NOWHERE", name);

    name = "LOCAL";
    EXPECT_EQ(MODULE_DLL, Resolve("E:\\APP", name));
    EXPECT_EQ("E:\\APP\\LOCAL.DLL", name);

    // A name with one of the six extensions is answered from the extension alone; a
    // dot before anything else is part of a name looked up like a bare one.
    name = "LOCAL.DLL";
    EXPECT_EQ(MODULE_DLL, Resolve("E:\\APP", name));
    EXPECT_EQ("LOCAL.DLL", name);
    name = "README.TXT";
    EXPECT_EQ(-1, Resolve("E:\\APP", name));
    name = "windows.globalization";
    EXPECT_EQ(MODULE_DLL, Resolve("E:\\APP", name));
    EXPECT_EQ(SystemFile("windows.globalization.dll"), name);
    name = "DRIVER.vbx";
    EXPECT_EQ(MODULE_VBX, Resolve("E:\\APP", name));
}

// A path of more than 127 characters is where OpenFile gives up, also on the system's
// own DLLs when such a directory is current.
TEST_F(ExaminationTest, ModuleBesideAFileInALongPathResolves)
{
    ASSERT_GT(sizeof kLongDirectory - 1, 127u);
    std::string name = "DEEPMOD";
    EXPECT_EQ(MODULE_DLL, Resolve(kLongDirectory, name));
    EXPECT_EQ(std::string(kLongDirectory) + "\\DEEPMOD.DLL", name);
    name = "KERNEL32";
    EXPECT_EQ(MODULE_DLL, Resolve(kLongDirectory, name));
    EXPECT_EQ(SystemFile("kernel32.dll"), name);

    SetCurrentDirectoryA("B:\\");
    ScanSession session;
    WalkE(true);
    EXPECT_TRUE(Contains(g_validLinks, std::string(kLongDirectory) + "\\DEEPMOD.DLL"));
    EXPECT_TRUE(Contains(g_pendingLinks, SystemFile("user32.dll")));
}

TEST_F(ExaminationTest, OtherFormatReferencesAreFiledByDriveOrByBaseName)
{
    ScanSession session(false);
    WalkE(false);
    // With a drive: as it stands, whether or not the file exists.
    EXPECT_TRUE(Contains(g_validLinks, "Q:\\GONE\\MISSING.DLL"))
        << ::testing::PrintToString(Names(g_validLinks));
    EXPECT_TRUE(Contains(g_validLinks, "E:\\LIBS\\DRIVEREF.DLL"));
    // With a relative directory: the directory is dropped and the base name resolved.
    EXPECT_TRUE(Contains(g_validLinks, "E:\\INI\\RELMOD.DLL"));
    EXPECT_FALSE(Contains(g_validLinks, "E:\\INI\\SUBDIR\\RELMOD.DLL"));
    EXPECT_TRUE(Contains(g_validLinks, "E:\\INI\\BAREMOD.DLL"));
    EXPECT_TRUE(Contains(g_validLinks, "E:\\INI\\GRPREF.DLL"));
    // Module names in the bytes of an executable and of a DLL.
    EXPECT_TRUE(Contains(g_validLinks, "E:\\DYN\\DYNLOAD.DLL"));
    EXPECT_TRUE(Contains(g_pendingLinks, "E:\\DYN\\DYNDEP.DLL"));
}

TEST_F(ExaminationTest, QuickScanReadsImportTablesOnly)
{
    ScanSession session(true);
    WalkE(true);
    for (const char* name :
         {"MISSING.DLL", "DRIVEREF.DLL", "RELMOD.DLL", "BAREMOD.DLL", "GRPREF.DLL", "DYNLOAD.DLL"})
        EXPECT_FALSE(ContainsEnding(g_validLinks, std::string("\\") + name)) << name;
    EXPECT_FALSE(ContainsEnding(g_pendingLinks, "\\DYNDEP.DLL"));
    EXPECT_TRUE(Contains(g_resultList, "E:\\INI\\GRPREF.DLL"));
}

// OLD16.DLL is a 16-bit DLL whose bytes name NEONLY.DLL; NOTPE.DLL is text that names
// it too. Neither is listed, and neither files NEONLY.
TEST_F(ExaminationTest, SixteenBitDllIsNeitherListedNorRead)
{
    ScanSession session(false);
    WalkE(false);
    EXPECT_FALSE(Contains(g_resultList, "E:\\OLD\\OLD16.DLL"));
    EXPECT_FALSE(Contains(g_resultList, "E:\\OLD\\NOTPE.DLL"));
    EXPECT_FALSE(Contains(g_resultList, "E:\\OLD\\NEONLY.DLL"));
    EXPECT_FALSE(Contains(g_validLinks, "E:\\OLD\\NEONLY.DLL"));
    EXPECT_FALSE(Contains(g_pendingLinks, "E:\\OLD\\NEONLY.DLL"));
}

// T: holds A.INI, B.INI and C.INI, naming TA.DLL, TB.DLL and TC.DLL. Quick Scan is
// changed at the pump step that follows the second INI file.
TEST_F(ExaminationTest, QuickScanChangedDuringTheWalkAppliesToLaterFiles)
{
    for (bool quickAtStart : {true, false})
    {
        SCOPED_TRACE(quickAtStart ? "Quick Scan turned off" : "Quick Scan turned on");
        recorder_.statusTexts.clear();
        ScanSession session(quickAtStart);
        bool changed = false;
        recorder_.onPump = [&] {
            int inis = 0;
            for (const std::string& path : recorder_.Examined())
                inis += path.ends_with(".INI");
            if (inis == 2 && !changed)
            {
                g_quickScan = !quickAtStart;
                changed = true;
            }
        };
        ASSERT_EQ(1, WalkDrive(nullptr, DriveNumber('T')));
        ASSERT_TRUE(changed);
        const std::vector<std::string> expected = quickAtStart
                                                      ? std::vector<std::string>{"T:\\TC.DLL"}
                                                      : std::vector<std::string>{"T:\\TA.DLL", "T:\\TB.DLL"};
        EXPECT_EQ(expected, Names(g_validLinks));
    }
}

} // namespace
