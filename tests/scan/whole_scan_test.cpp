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
#include "engine/link_graph.h"
#include "engine/scan_state.h"
#include "settings/settings.h"
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

// A scan of C: and O: alone, with the modern reading or counting what the registry names.
void ScanCAndO(bool modern)
{
    g_readModernLinks = modern ? 1 : 0;
    ScanInputs inputs = StoredScanInputs();
    inputs.drives = 1u << 2 | 1u << ('O' - 'A');
    inputs.countUnreadLinks = true;
    BeginScan(inputs);
    EXPECT_EQ(1, RunScan(nullptr));
    EndScan();
    g_readModernLinks = 0;
}

// One registry value of each kind keeps its DLL, and what that imports, with the modern
// reading and not without it: a COM server's default value with a full path and no
// terminator, a service's ServiceDll under %SystemRoot%, AppInit_DLLs with two names,
// a codec of Drivers32, a bare name. Values no reading can take name nothing, and a key
// deleted while it is read ends only itself. The shared-DLL register keeps only what it
// names, in either reading.
TEST_F(WholeScanTest, RegistryValuesKeepTheirDllsOnlyWithTheModernReading)
{
    ScanCAndO(true);
    const std::string kernel = SystemFile("kernel32.dll"),
                      directory = kernel.substr(0, kernel.rfind('\\') + 1);
    std::vector<std::string> system, names;
    for (const std::string& path : NamesOnDrive(g_resultList, 'C'))
        if (lstrcmpiA(path.substr(0, path.rfind('\\') + 1).c_str(), directory.c_str()) == 0)
            system.push_back(path), names.push_back(path.substr(directory.size()));
    ASSERT_GE(system.size(), 2u);

    SharedDllsGuard::SetValue("O:\\SHARED\\SHRUSE.DLL", 1);
    RegistryValuesGuard values;
    using G = RegistryValuesGuard;
    const char kClsid[] = "Software\\Classes\\CLSID\\{6D1E5D2A-0F1B-4C61-9E0C-5B7A2C1D0E9F}";
    values.Own(HKEY_LOCAL_MACHINE, kClsid);
    values.Own(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\OrvTest");
    values.Own(HKEY_CURRENT_USER, "Software\\OrvTest");
    const std::string nt = "Software\\Microsoft\\Windows NT\\CurrentVersion\\",
                      dep = "O:\\SHARED\\SHRDEP.DLL";
    values.Set(HKEY_LOCAL_MACHINE, kClsid + std::string("\\InprocServer32"), "", REG_SZ,
               G::Utf16("O:\\ORPH\\LONER.DLL", false));
    values.Set(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\OrvTest\\Parameters", "ServiceDll",
               REG_EXPAND_SZ, G::Utf16("%SystemRoot%\\system32\\" + names[0]));
    values.Set(HKEY_LOCAL_MACHINE, nt + "Windows", "AppInit_DLLs", REG_SZ,
               G::Utf16("O:\\PAIR\\PING.DLL O:\\PAIR\\PONG.DLL"));
    values.Set(HKEY_LOCAL_MACHINE, nt + "Drivers32", "vidc.orvt", REG_SZ, G::Utf16("O:\\LIB\\FOO.DLL"));
    values.Set(HKEY_CURRENT_USER, "Software\\OrvTest", "Plugin", REG_SZ, G::Utf16(names[1]));
    // SHRDEP.DLL only past MAX_PATH, in a value too large to be a list, in one expanding
    // past any buffer, in binary bytes, under a key deleted at the reading's first step.
    SetEnvironmentVariableA("ORVBIG", std::string(20000, 'x').c_str());
    values.Set(HKEY_CURRENT_USER, "Software\\OrvTest", "Long", REG_SZ,
               G::Utf16("O:\\SHARED\\" + std::string(300, 'a') + "\\..\\SHRDEP.DLL"));
    values.Set(HKEY_CURRENT_USER, "Software\\OrvTest", "Large", REG_MULTI_SZ,
               G::Utf16(std::string(40000, ' ') + dep));
    values.Set(HKEY_CURRENT_USER, "Software\\OrvTest", "Expanding", REG_EXPAND_SZ,
               G::Utf16("%ORVBIG%%ORVBIG% " + dep));
    values.Set(HKEY_CURRENT_USER, "Software\\OrvTest", "Binary", REG_SZ, "\x01O\0:\0\\\0X\0.\0d\0l\0l");
    values.Set(HKEY_CURRENT_USER, "Software\\OrvTest\\Gone", "Path", REG_SZ, G::Utf16(dep));
    recorder_.onPump = [this] {
        if (recorder_.statusTexts.back() == " Reading module names in the registry...")
            RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\OrvTest\\Gone");
    };

    const std::vector<std::string> named = {"O:\\ORPH\\LONER.DLL", system[0],          "O:\\PAIR\\PING.DLL",
                                            "O:\\PAIR\\PONG.DLL",  "O:\\LIB\\FOO.DLL", system[1]};
    ScanCAndO(true);
    for (const std::string& path : named)
        EXPECT_FALSE(Contains(g_resultList, path)) << path;
    // The COM server's import is kept through it, by a chain from its value.
    const LinkSource* source = nullptr;
    std::vector<const LinkedFile*> chain;
    std::vector<LinkKind> kinds;
    ASSERT_TRUE(ShortestLinkChain("O:\\ORPH\\HELPER.DLL", source, chain, kinds));
    EXPECT_EQ("HKLM\\" + std::string(kClsid) + "\\InprocServer32\\(Default) O:\\ORPH\\LONER.DLL",
              *source->path + " " + chain[0]->shortPath);
    EXPECT_EQ(LinkKind::Registry, kinds[0]);
    EXPECT_FALSE(Contains(g_resultList, "O:\\SHARED\\SHRUSE.DLL"));
    EXPECT_TRUE(Contains(g_resultList, dep));

    ScanCAndO(false);
    for (const std::string& path : named)
        EXPECT_FALSE(!Contains(g_resultList, path) || RegistryValueOf(*FindLinkedFile(path)).empty()) << path;
    EXPECT_TRUE(Contains(g_resultList, "O:\\ORPH\\HELPER.DLL"));
    EXPECT_EQ("HKCU\\Software\\OrvTest\\Plugin", RegistryValueOf(*FindLinkedFile(system[1])));
    EXPECT_GE(g_unreadLinks.registryNamedListed, static_cast<int>(named.size()));
    EXPECT_FALSE(Contains(g_resultList, "O:\\SHARED\\SHRUSE.DLL"));
    SetEnvironmentVariableA("ORVBIG", nullptr);
}

} // namespace
