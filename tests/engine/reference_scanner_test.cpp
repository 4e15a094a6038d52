// ScanForModuleNames on real files in a scratch folder of the test prefix: text and
// binary files, a missing file with and without the error box, a file of many chunks,
// and Stop arriving through the pump step between two chunks.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/filter_entry.h"
#include "engine/module_names.h"
#include "engine/name_list.h"
#include "engine/reference_scanner.h"
#include "engine/scan_state.h"

using namespace std::literals;

namespace
{

using Names = std::vector<std::string>;

Names ListNames(const NameList& list)
{
    Names names;
    char buffer[kNameBufferSize];
    for (int i = 0; i < GetCount(list); i++)
        if (GetName(list, i, buffer) >= 0)
            names.emplace_back(buffer);
    return names;
}

// A scratch folder of the prefix's own, removed before and after each test.
class ReferenceScanner : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
        dir_ = std::string(temp) + "orv-reference-scanner\\";
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
        g_scanning = 0;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        g_scanning = 0;
    }

    std::string WriteFile(const std::string& name, std::string_view bytes)
    {
        std::string path = dir_ + name;
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << path;
        return path;
    }

    std::string dir_;
    NameList list_;
};

TEST_F(ReferenceScanner, TextFileGivesNamesWithDriveAndDirectory)
{
    std::string path = WriteFile("SYSTEM.INI", "[boot]\r\ndrivers=mmsystem.dll\r\nshell=progman.exe\r\n"
                                               "[386Enh]\r\ndevice= C:\\WINDOWS\\SYSTEM\\COMMDLG.DLL\r\n");
    EXPECT_EQ(1, ScanForModuleNames(list_, path.c_str(), 1, FILE_KIND_OTHER));
    EXPECT_EQ(ListNames(list_), (Names{"C:\\WINDOWS\\SYSTEM\\COMMDLG.DLL", "MMSYSTEM.DLL"}));
}

TEST_F(ReferenceScanner, BinaryFileGivesBareNames)
{
    std::string path =
        WriteFile("APP.EXE", "MZ\x90\0\x03\0\0\0\0mfc40.dll\0\0C:\\WIN\\FOO.DLL\0%s.dll\0LONGNAME9.DLL\0"sv);
    EXPECT_EQ(1, ScanForModuleNames(list_, path.c_str(), 1, FILE_KIND_EXECUTABLE));
    EXPECT_EQ(ListNames(list_), (Names{"FOO", "MFC40", "ONGNAME9"}));
}

TEST_F(ReferenceScanner, FileWithoutNamesAnswersZero)
{
    for (const auto& [name, bytes] :
         {std::pair{"EMPTY.INI", ""sv}, std::pair{"NONE.INI", "[x]\r\ny=%s.dll .dll"sv}})
    {
        std::string path = WriteFile(name, bytes);
        EXPECT_EQ(0, ScanForModuleNames(list_, path.c_str(), 1, FILE_KIND_OTHER)) << name;
        EXPECT_EQ(0, GetCount(list_)) << name;
    }
}

// Answers every dialog box that is activated with OK, and counts them.
int g_boxes = 0;
HHOOK g_hook = nullptr;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE)
    {
        HWND box = reinterpret_cast<HWND>(wParam);
        char className[16] = "";
        GetClassNameA(box, className, sizeof className);
        if (std::string_view(className) == "#32770")
        {
            ++g_boxes;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

TEST_F(ReferenceScanner, MissingFileAnswersZeroAndReportsUnlessQuiet)
{
    std::string path = dir_ + "MISSING.INI";
    g_boxes = 0;
    g_hook = SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_hook, nullptr);
    EXPECT_EQ(0, ScanForModuleNames(list_, path.c_str(), 1, FILE_KIND_OTHER));
    EXPECT_EQ(0, g_boxes) << "quiet";
    EXPECT_EQ(0, ScanForModuleNames(list_, path.c_str(), 0, FILE_KIND_OTHER));
    EXPECT_EQ(1, g_boxes) << "not quiet";
    UnhookWindowsHookEx(g_hook);
    EXPECT_EQ(0, GetCount(list_));
}

TEST_F(ReferenceScanner, ManyChunksGiveEveryNameOnce)
{
    // One name a boundary, its '.' from 11 bytes before the boundary to 11 after, so
    // that the '.', "DLL" and the name each fall on either side of one.
    std::string bytes(64 * kScanChunkSize + 500, '\0');
    Names expected;
    for (std::size_t k = 1; k < 64; ++k)
    {
        char name[16];
        std::snprintf(name, sizeof name, "Q%05u", static_cast<unsigned>(k));
        std::size_t dot = k * kScanChunkSize + k % 23 - 11;
        bytes.replace(dot - 6, 10, std::string(name) + ".dll");
        expected.emplace_back(name);
    }
    std::string path = WriteFile("BIG.DLL", bytes);
    EXPECT_EQ(1, ScanForModuleNames(list_, path.c_str(), 1, FILE_KIND_LIBRARY));
    EXPECT_EQ(ListNames(list_), expected);
}

// Stop as the user gives it: a message that the scan's own pump step dispatches, whose
// handling changes the scanning flag. The third message changes it.
constexpr UINT kStopMessage = WM_APP + 1;
int g_stopMessages = 0;

LRESULT CALLBACK StopWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kStopMessage)
        return DefWindowProcA(window, message, wParam, lParam);
    if (++g_stopMessages == 3)
        g_scanning = !g_scanning;
    return 0;
}

TEST_F(ReferenceScanner, FlagChangedInPumpStepStopsBeforeNextChunk)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = StopWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "OrvStopTarget";
    ASSERT_NE(0, RegisterClassA(&windowClass));
    HWND window = CreateWindowExA(0, "OrvStopTarget", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    std::string bytes(10 * kScanChunkSize, ' ');
    for (std::size_t k = 0; k < 10; ++k)
        bytes.replace(k * kScanChunkSize + 100, 10, "CHUNK" + std::to_string(k) + ".DLL");

    // The flag is compared with its value on entry, whichever way it changes.
    for (unsigned char onEntry : {1, 0})
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(PostMessageA(window, kStopMessage, 0, 0));
        g_stopMessages = 0;
        g_scanning = onEntry;
        Clear(list_);
        std::string path = WriteFile("STOP.EXE", bytes);

        // One pump step before each chunk: chunks 0 and 1 are read, the third step
        // changes the flag and nothing more is read.
        EXPECT_EQ(0, ScanForModuleNames(list_, path.c_str(), 1, FILE_KIND_EXECUTABLE)) << int{onEntry};
        EXPECT_EQ(3, g_stopMessages) << int{onEntry};
        EXPECT_EQ(ListNames(list_), (Names{"CHUNK0", "CHUNK1"})) << int{onEntry};
        // An open file could not be deleted: the scanner closed it.
        EXPECT_TRUE(DeleteFileA(path.c_str())) << int{onEntry} << ", error " << GetLastError();
    }
    DestroyWindow(window);
    UnregisterClassA("OrvStopTarget", windowClass.hInstance);
}

} // namespace
