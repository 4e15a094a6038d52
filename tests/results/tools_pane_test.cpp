// Display Version Information and the two companion tools, driven through the main
// window's commands. The tools are a stand-in built with the tests that writes the
// command line it was given next to itself; the locate dialog and the message boxes
// are answered by a hook.
#include "tests/shell/window_test_util.h"

#include <cstdio>
#include <functional>
#include <memory>

#include "engine/link_graph.h"
#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "tests/platform/platform_test_util.h"

namespace
{

constexpr char kTambrilKey[] = "Software\\Tessaly Software Ltd\\Tambril";
constexpr char kQuorsetKey[] = "Software\\Tessaly Software Ltd\\Quorset";
constexpr int kFileName = 0x47C; // cmb13 of the common file dialog

void Command(HWND window, WORD id)
{
    SendMessageA(window, WM_COMMAND, id, 0);
}

// The stored location of a tool, or "(absent)".
std::string StoredLocation(const char* key)
{
    HKEY location = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(key) + "\\Location").c_str(), 0, KEY_READ,
                      &location) != ERROR_SUCCESS)
        return "(absent)";
    char value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH, type = 0;
    LONG read = RegQueryValueExA(location, "Path", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(location);
    return read == ERROR_SUCCESS ? std::string(value, strnlen(value, size)) : "(absent)";
}

void StoreLocation(const char* key, const std::string& path)
{
    HKEY location = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(key) + "\\Location").c_str(), 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &location, nullptr));
    RegSetValueExA(location, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>(path.size() + 1));
    RegCloseKey(location);
}

// A copy of the stand-in under the tool's name.
std::string InstallStandIn(const ScratchFolder& folder, const char* name)
{
    std::string path = folder / name;
    EXPECT_TRUE(CopyFileA((ProgramFolder() + "\\command_line_recorder.exe").c_str(), path.c_str(), FALSE))
        << path;
    return path;
}

// The command line the stand-in at path received; "" when it did not run in time.
std::string ReceivedCommandLine(const std::string& program)
{
    const std::string record = program + ".txt";
    for (int wait = 0; wait < 150; wait++)
    {
        if (GetFileAttributesA(record.c_str()) != INVALID_FILE_ATTRIBUTES)
            return ReadText(record);
        Sleep(100);
    }
    return "";
}

// What the hook saw: the locate dialog's title and suggested name, and the texts of
// message boxes.
struct Answers
{
    int locateDialogs = 0;
    std::string title, suggested;
    std::vector<std::string> messages;
};

// Answers the locate dialog with choice (cancels it when empty) and every message box
// with OK.
std::unique_ptr<DialogAnswerer> AnswerWith(const std::string& choice, Answers& answers)
{
    return std::make_unique<DialogAnswerer>([&answers, choice](HWND dialog) {
        if (!GetDlgItem(dialog, kFileName))
        {
            std::string longest;
            for (const std::string& text : StaticTexts(dialog))
                if (text.size() > longest.size())
                    longest = text;
            answers.messages.push_back(longest);
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            return;
        }
        answers.locateDialogs++;
        answers.title = WindowText(dialog);
        answers.suggested = WindowText(GetDlgItem(dialog, kFileName));
        if (choice.empty())
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        else
        {
            SetDlgItemTextA(dialog, kFileName, choice.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
    });
}

std::string LibraryMessage(int number)
{
    char text[300] = {};
    LoadStringA(QemGetInstHandle(), static_cast<UINT>(number), text, sizeof text);
    return text;
}

class ToolsTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTambrilKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kQuorsetKey);
        MainWindowTest::SetUp();
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        ForgetLinkGraph();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTambrilKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kQuorsetKey);
    }
    // Lists the names (and fillers after the second, enough to scroll) and opens the
    // window; the second one is made current, the first and third selected as well.
    void OpenListing(std::initializer_list<const char*> names, int fillers = 0)
    {
        for (const char* name : names)
            AddName(g_resultList, name);
        for (int i = 0; i < fillers; i++)
        {
            char filler[32];
            std::snprintf(filler, sizeof filler, "C:\\Y\\F%03d.DLL", i);
            AddName(g_resultList, filler);
        }
        Open();
        if (names.size() < 3)
            return;
        SendMessageA(g_resultListWindow, LB_SETSEL, TRUE, 0);
        SendMessageA(g_resultListWindow, LB_SETSEL, TRUE, 2);
        SendMessageA(g_resultListWindow, LB_SETCARETINDEX, 1, FALSE);
    }

    ScratchFolder folder_{"orv-tools"};
};

TEST_F(ToolsTest, RegisteredToolStartsAtOnceWithTheCurrentFileOnly)
{
    OpenListing({"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL", "C:\\C\\THREE.DLL"});
    const std::string tambril = InstallStandIn(folder_, "TAMBRIL.EXE");
    const std::string quorset = InstallStandIn(folder_, "QUORSET.EXE");
    StoreLocation(kTambrilKey, tambril);
    StoreLocation(kQuorsetKey, quorset);
    Answers answers;
    auto answerer = AnswerWith("", answers);
    Command(window, IDM_CHECK_FUNCTION_CALLS);
    Command(window, IDM_CHECK_LINKS);
    EXPECT_EQ(tambril + " C:\\B\\TWO.DLL", ReceivedCommandLine(tambril));
    EXPECT_EQ(quorset + " C:\\B\\TWO.DLL", ReceivedCommandLine(quorset));
    EXPECT_EQ(0, answerer->Count()) << "no dialog, no message";
}

// The current file is the one with the caret: after the arrow keys moved it, a click on
// another file makes that one current, for the tools as for the pane.
TEST_F(ToolsTest, ClickedFileIsCurrentAfterAKeyboardMove)
{
    OpenListing({"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL", "C:\\C\\THREE.DLL"});
    const std::string tambril = InstallStandIn(folder_, "TAMBRIL.EXE");
    StoreLocation(kTambrilKey, tambril);
    Answers answers;
    auto answerer = AnswerWith("", answers);
    SetFocus(g_resultListWindow);
    SendMessageA(g_resultListWindow, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(g_resultListWindow, WM_KEYUP, VK_DOWN, 0);
    RECT item = {};
    ASSERT_NE(LB_ERR, SendMessageA(g_resultListWindow, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)));
    const LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageA(g_resultListWindow, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(g_resultListWindow, WM_LBUTTONUP, 0, point);
    PumpWaitingMessages();
    Command(window, IDM_CHECK_FUNCTION_CALLS);
    EXPECT_EQ(tambril + " C:\\A\\ONE.DLL", ReceivedCommandLine(tambril));
    EXPECT_EQ(0, answerer->Count()) << "no dialog, no message";
}

TEST_F(ToolsTest, LocationWithABlankIsQuoted)
{
    OpenListing({"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL", "C:\\C\\THREE.DLL"});
    ScratchFolder spaced("orv tool folder");
    const std::string tambril = InstallStandIn(spaced, "TAMBRIL.EXE");
    StoreLocation(kTambrilKey, tambril);
    Command(window, IDM_CHECK_FUNCTION_CALLS);
    EXPECT_EQ("\"" + tambril + "\" C:\\B\\TWO.DLL", ReceivedCommandLine(tambril));
}

TEST_F(ToolsTest, UnregisteredToolIsLocatedStoredAndUsedFromThenOn)
{
    OpenListing({"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL", "C:\\C\\THREE.DLL"});
    const std::string quorset = InstallStandIn(folder_, "QUORSET.EXE");
    Answers answers;
    auto answerer = AnswerWith(quorset, answers);
    Command(window, IDM_CHECK_LINKS);
    EXPECT_EQ(1, answers.locateDialogs);
    EXPECT_EQ("Locate Quorset", answers.title);
    EXPECT_EQ("quorset.exe", answers.suggested);
    EXPECT_EQ(quorset + " C:\\B\\TWO.DLL", ReceivedCommandLine(quorset));
    EXPECT_EQ(quorset, StoredLocation(kQuorsetKey));
    EXPECT_EQ("(absent)", StoredLocation(kTambrilKey));

    DeleteFileA((quorset + ".txt").c_str());
    SendMessageA(g_resultListWindow, LB_SETCARETINDEX, 2, FALSE);
    Command(window, IDM_CHECK_LINKS);
    EXPECT_EQ(quorset + " C:\\C\\THREE.DLL", ReceivedCommandLine(quorset));
    EXPECT_EQ(1, answers.locateDialogs) << "the stored location is used";
    EXPECT_EQ(std::vector<std::string>{}, answers.messages);
}

TEST_F(ToolsTest, StoredLocationOfADeletedProgramIsReplacedByTheLocatedOne)
{
    OpenListing({"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL", "C:\\C\\THREE.DLL"});
    StoreLocation(kTambrilKey, folder_ / "GONE\\TAMBRIL.EXE");
    const std::string tambril = InstallStandIn(folder_, "TAMBRIL.EXE");
    Answers answers;
    auto answerer = AnswerWith(tambril, answers);
    Command(window, IDM_CHECK_FUNCTION_CALLS);
    EXPECT_EQ(1, answers.locateDialogs);
    EXPECT_EQ("Locate Tambril", answers.title);
    EXPECT_EQ("tambril.exe", answers.suggested);
    EXPECT_EQ(tambril + " C:\\B\\TWO.DLL", ReceivedCommandLine(tambril));
    EXPECT_EQ(tambril, StoredLocation(kTambrilKey));
}

TEST_F(ToolsTest, CancelledLocatingStoresAndShowsNothing)
{
    OpenListing({"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL", "C:\\C\\THREE.DLL"});
    Answers answers;
    auto answerer = AnswerWith("", answers);
    Command(window, IDM_CHECK_FUNCTION_CALLS);
    EXPECT_EQ(1, answers.locateDialogs);
    EXPECT_EQ(std::vector<std::string>{}, answers.messages);
    EXPECT_EQ("(absent)", StoredLocation(kTambrilKey));
}

TEST_F(ToolsTest, LocatedProgramThatDoesNotStartShowsItsErrorAndStaysStored)
{
    OpenListing({"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL", "C:\\C\\THREE.DLL"});
    const struct
    {
        WORD command;
        const char* key;
        int message;
    } cases[] = {{IDM_CHECK_FUNCTION_CALLS, kTambrilKey, QEM_ERR_TAMBRIL_START},
                 {IDM_CHECK_LINKS, kQuorsetKey, QEM_ERR_QUORSET_START}};
    const std::string broken = folder_ / "BROKEN.EXE";
    WriteText(broken, "not a program");
    for (const auto& tool : cases)
    {
        Answers answers;
        auto answerer = AnswerWith(broken, answers);
        Command(window, tool.command);
        EXPECT_EQ(1, answers.locateDialogs) << tool.command;
        EXPECT_EQ(std::vector<std::string>{LibraryMessage(tool.message)}, answers.messages) << tool.command;
        EXPECT_EQ(broken, StoredLocation(tool.key)) << tool.command;
    }
}

TEST_F(ToolsTest, EmptyListStartsNothingAndNoCurrentFileGivesMessage6003)
{
    Open();
    Answers answers;
    auto answerer = AnswerWith("", answers);
    Command(window, IDM_CHECK_FUNCTION_CALLS);
    Command(window, IDM_CHECK_LINKS);
    EXPECT_EQ(0, answerer->Count());
    // The version pane has no empty-list rule of its own: no current file, and it stays closed.
    Command(window, IDM_DISPLAY_VERSION);
    EXPECT_EQ(std::vector<std::string>{LibraryMessage(QEM_INFO_NO_CURRENT_FILE)}, answers.messages);
    EXPECT_FALSE(g_versionPaneShown);
    EXPECT_FALSE(IsWindowVisible(g_versionListWindow));
}

using VersionPaneTest = ToolsTest;

TEST_F(VersionPaneTest, OpensOnTheCurrentFileAndClosesKeepingItsContents)
{
    // The last scan: the listed ONE.DLL links to KERNEL32.DLL, nothing to F000.DLL.
    for (const char* dll : {"C:\\A\\ONE.DLL", "C:\\WINDOWS\\SYSTEM32\\KERNEL32.DLL", "C:\\Y\\F000.DLL"})
    {
        NoteExaminedFile(dll, dll);
        const bool one = dll[3] == 'A';
        RecordLibraryLinks(one ? std::vector<std::string>{"C:\\WINDOWS\\SYSTEM32\\KERNEL32.DLL"}
                               : std::vector<std::string>{},
                           std::vector<LinkKind>(one ? 1 : 0, LinkKind::Import), true, true, true, nullptr,
                           true, false);
    }
    OpenListing({"C:\\A\\ONE.DLL", "C:\\WINDOWS\\SYSTEM32\\KERNEL32.DLL", "C:\\Z\\THREE.DLL"}, 100);
    const RECT whole = ChildRect(window, IDC_RESULT_LIST);
    // The pane's paths in the case the list shows.
    g_lowerCaseNames = 1;
    Command(window, IDM_DISPLAY_VERSION);
    PumpWaitingMessages();
    g_lowerCaseNames = 0;
    EXPECT_TRUE(g_versionPaneShown);
    EXPECT_TRUE(IsWindowVisible(g_versionListWindow));
    const std::vector<std::string> kernel = ListTexts(g_versionListWindow);
    ASSERT_GT(kernel.size(), 1u);
    EXPECT_EQ("File:\tc:\\windows\\system32\\kernel32.dll", kernel.front());
    EXPECT_EQ("Linked from listed DLLs only: c:\\a\\one.dll", kernel.back());
    const RECT shared = ChildRect(window, IDC_RESULT_LIST);
    EXPECT_LT(shared.bottom, whole.bottom) << "the pane takes the lower part";
    EXPECT_GT(ChildRect(window, IDC_VERSION_LIST).top, shared.bottom);
    EXPECT_EQ(1, SendMessageA(g_resultListWindow, LB_GETTOPINDEX, 0, 0));
    EXPECT_EQ(g_resultListWindow, GetFocus());

    // A selection change while shown describes the new current file.
    SendMessageA(g_resultListWindow, LB_SETCARETINDEX, 2, FALSE);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_RESULT_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(g_resultListWindow));
    const std::vector<std::string> missing = ListTexts(g_versionListWindow);
    EXPECT_NE(kernel, missing);
    EXPECT_EQ("File:\tC:\\Y\\F000.DLL", missing.front());
    EXPECT_EQ("Linked from: nothing examined", missing.back());

    Command(window, IDM_DISPLAY_VERSION);
    PumpWaitingMessages();
    EXPECT_FALSE(g_versionPaneShown);
    EXPECT_FALSE(IsWindowVisible(g_versionListWindow));
    EXPECT_EQ(missing, ListTexts(g_versionListWindow)) << "closing keeps the contents";
    EXPECT_EQ(whole.bottom, ChildRect(window, IDC_RESULT_LIST).bottom)
        << "the result list has the space back";
    EXPECT_EQ(2, SendMessageA(g_resultListWindow, LB_GETTOPINDEX, 0, 0));
}

TEST_F(VersionPaneTest, ToolsAndPaneWorkDuringAScan)
{
    OpenListing({"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL", "C:\\C\\THREE.DLL"});
    const std::string tambril = InstallStandIn(folder_, "TAMBRIL.EXE");
    StoreLocation(kTambrilKey, tambril);
    g_scanning = 1;
    Command(window, IDM_CHECK_FUNCTION_CALLS);
    Command(window, IDM_DISPLAY_VERSION);
    EXPECT_TRUE(g_versionPaneShown);
    g_scanning = 0;
    EXPECT_EQ(tambril + " C:\\B\\TWO.DLL", ReceivedCommandLine(tambril));
    CloseVersionPane(window);
}

} // namespace
