// The main window's own commands, driven through its messages: Start and Stop, Exit
// and the close sequence, help and about, the lists' keys and the context menu.
#include "tests/shell/window_test_util.h"

#include <commctrl.h>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "tests/platform/platform_test_util.h"

namespace
{

using CommandTest = MainWindowTest;

std::string IdleBanner()
{
    char banner[150] = {};
    LoadStringA(GetModuleHandleA(nullptr), IDS_IDLE_BANNER, banner, sizeof banner);
    return banner;
}

void Command(HWND window, WORD id, LPARAM lParam = 0)
{
    SendMessageA(window, WM_COMMAND, id, lParam);
}

TEST_F(CommandTest, StartRunsAScanToDoneWithTheSummaryLine)
{
    // The one-time offer counts as made: Wine's registry names DLLs the scan lists.
    StoreByte("ImpDirAsked", 1);
    Open();
    AddName(g_validLinks, "C:\\LEFT\\OVER.DLL");
    Command(window, IDM_START);
    EXPECT_EQ(0, g_scanning);
    EXPECT_EQ(" Done.", StatusBarText(window));
    // Whatever Wine's own C: leaves unlinked, the window shows exactly the store.
    std::vector<std::string> store;
    for (int i = 0; i < GetCount(g_resultList); ++i)
        store.emplace_back(NameAt(g_resultList, i));
    EXPECT_EQ(store, ListTexts(g_resultListWindow));
    // In the order a sorted list box gives the same texts.
    HWND sorted = CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 0, 0, nullptr,
                                  nullptr, nullptr, nullptr);
    for (const std::string& name : store)
        SendMessageA(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    const std::vector<std::string> sortedTexts = ListTexts(sorted);
    const auto locale = static_cast<LCID>(SendMessageA(sorted, LB_GETLOCALE, 0, 0));
    DestroyWindow(sorted);
    ASSERT_EQ(store.size(), sortedTexts.size());
    for (std::size_t i = 0; i < store.size(); ++i)
        EXPECT_EQ(CSTR_EQUAL,
                  CompareStringA(locale, NORM_IGNORECASE, store[i].c_str(), -1, sortedTexts[i].c_str(), -1))
            << i << ": " << store[i] << ", " << sortedTexts[i];
    std::uint64_t total = 0;
    TotalListedBytes(g_resultList, total);
    EXPECT_EQ(FormatSummaryLine(GetCount(g_resultList), total), StatusLineText(window));
    for (NameList* hidden : {&g_validLinks, &g_pendingLinks, &g_fileRefs, &g_textRefs})
        EXPECT_EQ(0, GetCount(*hidden));
}

TEST_F(CommandTest, StopDuringTheScanInterruptsIt)
{
    Open();
    AddName(g_resultList, "C:\\OLD\\RESULT.DLL");
    // Stop waits in the queue; the scan's first pump step lets it through.
    PostMessageA(window, WM_COMMAND, IDM_STOP, 0);
    Command(window, IDM_START);
    EXPECT_EQ(0, g_scanning);
    EXPECT_EQ(" Scanning interrupted.", StatusBarText(window));
    EXPECT_EQ("", StatusLineText(window));
    EXPECT_EQ(0, GetCount(g_resultList));
    EXPECT_EQ(0, SendMessageA(g_resultListWindow, LB_GETCOUNT, 0, 0));
}

TEST_F(CommandTest, StopWhenIdleChangesNothing)
{
    Open();
    SetStatusLineText(" 1 possibly unlinked .DLLs listed. Disk space taken: 10 bytes");
    SetStatusText(" Done.");
    Command(window, IDM_STOP);
    EXPECT_EQ(" Done.", StatusBarText(window));
    EXPECT_EQ(" 1 possibly unlinked .DLLs listed. Disk space taken: 10 bytes", StatusLineText(window));
}

TEST_F(CommandTest, StopShowsTheBannerAndClosesTheVersionPane)
{
    Open();
    g_scanning = 1;
    g_versionPaneShown = true;
    ShowWindow(g_versionListWindow, SW_SHOW);
    AddName(g_pendingLinks, "C:\\A.DLL");
    SetStatusLineText(" Cross checking valid .DLL links with other .DLLs...");
    Command(window, IDM_STOP);
    EXPECT_EQ(0, g_scanning);
    EXPECT_EQ(IdleBanner(), StatusBarText(window));
    EXPECT_EQ("", StatusLineText(window));
    EXPECT_EQ(0, GetCount(g_pendingLinks));
    EXPECT_FALSE(g_versionPaneShown);
    EXPECT_FALSE(IsWindowVisible(g_versionListWindow));
}

WNDPROC s_windowProc = nullptr;
MSG s_afterStop{};

// Sends s_afterStop right after Stop, while the stopped scan is still on the stack.
LRESULT CALLBACK SendingAfterStop(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = CallWindowProcA(s_windowProc, window, message, wParam, lParam);
    if (message == WM_COMMAND && LOWORD(wParam) == IDM_STOP)
        SendMessageA(window, s_afterStop.message, s_afterStop.wParam, 0);
    return result;
}

TEST_F(CommandTest, CommandsWhileAStoppedScanUnwindsRunAfterIt)
{
    Open();
    s_windowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SendingAfterStop)));
    for (int command : {IDM_START, IDM_DELETE, IDM_SAVE_LIST, IDM_BACKUP, IDM_SET_FILTERS, 0})
    {
        s_afterStop.message = command ? WM_COMMAND : WM_CLOSE;
        s_afterStop.wParam = static_cast<WPARAM>(command);
        PostMessageA(window, WM_COMMAND, IDM_STOP, 0);
        Command(window, IDM_START);
        EXPECT_EQ(" Scanning interrupted.", StatusBarText(window));
        // It waits for the scan to end, then comes round again; a close has not yet
        // released what the scan draws with.
        MSG msg;
        EXPECT_TRUE(PeekMessageA(&msg, window, s_afterStop.message, s_afterStop.message, PM_REMOVE));
        EXPECT_EQ(static_cast<WPARAM>(command), msg.wParam);
        EXPECT_NE(nullptr, g_interfaceFont.Get());
    }
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_windowProc));
}

TEST_F(CommandTest, ExitDuringAScanIsRefusedWithMessage6019)
{
    Open();
    std::string shown;
    bool scanningWhileShown = false;
    DialogAnswerer answerer([&](HWND box) {
        for (const std::string& text : StaticTexts(box))
            if (text.size() > shown.size())
                shown = text;
        scanningWhileShown = g_scanning != 0;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        // Once the box is gone, stop the scan that went on behind it.
        PostMessageA(window, WM_COMMAND, IDM_STOP, 0);
    });
    PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
    Command(window, IDM_START);
    EXPECT_EQ(1, answerer.Count());
    EXPECT_TRUE(scanningWhileShown);
    char expected[300] = {};
    LoadStringA(QemGetInstHandle(), QEM_INFO_NO_CLOSE_SCANNING, expected, sizeof expected);
    EXPECT_EQ(expected, shown);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(" Scanning interrupted.", StatusBarText(window));
    EXPECT_EQ(std::vector<std::string>{}, StoredValues()) << "nothing saved";
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

// A program whose import tables LLVM's linker put in .rdata (a fixture machine's),
// copied onto C: for the scans of this test only; Wine's registry names DLLs the scan
// lists.
TEST_F(CommandTest, AScanMeetingImportsOutsideIdataOffersTheReadingOnce)
{
    const char program[] = "C:\\orvimpdir\\VIEWER.EXE";
    CreateDirectoryA("C:\\orvimpdir", nullptr);
    ASSERT_TRUE(CopyFileA("B:\\machines\\outcomes\\n\\VIEW\\VIEWER.EXE", program, FALSE));
    Open();
    std::string shown, summaryWhenShown;
    LRESULT stopWhenShown = -1;
    int answer = IDNO;
    DialogAnswerer answerer([&](HWND box) {
        shown.clear();
        for (const std::string& text : StaticTexts(box))
            if (text.size() > shown.size())
                shown = text;
        summaryWhenShown = StatusLineText(window);
        HWND toolbar = GetDlgItem(window, IDC_TOOLBAR);
        stopWhenShown = SendMessageA(toolbar, TB_GETSTATE, IDM_STOP, 0) & TBSTATE_ENABLED;
        PostMessageA(box, WM_COMMAND, answer, 0);
    });
    // No leaves the reading off, and the offer is not made again.
    Command(window, IDM_START);
    Command(window, IDM_START);
    EXPECT_EQ(1, answerer.Count());
    EXPECT_EQ(0, g_readModernLinks);
    EXPECT_EQ(1, StoredByte("ImpDirAsked"));
    EXPECT_EQ(0, shown.find("1 examined file keeps its import tables outside .idata")) << shown;
    EXPECT_NE(std::string::npos,
              shown.find(" listed DLLs are named in the registry; programs may load them.\n"))
        << shown;
    EXPECT_EQ(StatusLineText(window), summaryWhenShown);
    EXPECT_EQ(0, stopWhenShown) << "the toolbar shows the idle states";
    // Yes, once the record is gone, turns it on; no scan follows.
    ClearStoredPreferences();
    answer = IDYES;
    Command(window, IDM_START);
    EXPECT_EQ(2, answerer.Count());
    EXPECT_EQ(1, g_readModernLinks);
    EXPECT_EQ(" Done.", StatusBarText(window));
    DeleteFileA(program);
    RemoveDirectoryA("C:\\orvimpdir");
}

// A 64-bit DLL on C: for this test's scans only: left out and counted, and listed once
// the offer is taken.
TEST_F(CommandTest, AScanLeavingOut64BitDllsOffersToIncludeThemOnce)
{
    const char dll[] = "C:\\orv64\\WIDE.DLL";
    CreateDirectoryA("C:\\orv64", nullptr);
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\pe64_fixture.dll").c_str(), dll, FALSE));
    // The modern reading's offer counts as made: Wine's registry names DLLs the scan lists.
    StoreByte("ImpDirAsked", 1);
    Open();
    std::string shown;
    int answer = IDNO;
    DialogAnswerer answerer([&](HWND box) {
        for (const std::string& text : StaticTexts(box))
            if (text.size() > shown.size())
                shown = text;
        PostMessageA(box, WM_COMMAND, answer, 0);
    });
    Command(window, IDM_START);
    Command(window, IDM_START);
    EXPECT_EQ(1, answerer.Count());
    EXPECT_EQ(0, shown.find("1 64-bit DLL was left out")) << shown;
    EXPECT_EQ(1, StoredByte("Scan64Asked"));
    EXPECT_FALSE(IsListed("C:\\ORV64\\WIDE.DLL"));
    ClearStoredPreferences();
    StoreByte("ImpDirAsked", 1);
    answer = IDYES;
    Command(window, IDM_START);
    EXPECT_EQ(1, g_scan64Bit);
    Command(window, IDM_START);
    EXPECT_TRUE(IsListed("C:\\ORV64\\WIDE.DLL"));
    g_scan64Bit = 0;
    DeleteFileA(dll);
    RemoveDirectoryA("C:\\orv64");
}

TEST_F(CommandTest, CloseSavesThePreferencesAndQuits)
{
    Open();
    HelpRecorder help;
    SetWindowPos(window, nullptr, 120, 80, 640, 480, SWP_NOZORDER);
    Command(window, IDM_LOWER_CASE);
    EXPECT_EQ(0, SendMessageA(window, WM_CLOSE, 0, 0));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);
    ASSERT_EQ(1u, help.Calls().size());
    EXPECT_EQ(static_cast<UINT>(HELP_QUIT), help.Calls()[0].command);
    EXPECT_EQ(ProgramFolder() + "\\ORVENNA.HLP", help.Calls()[0].file);
    EXPECT_EQ((std::vector<std::string>{"ImpDir=0", "Lower=1", "MaxMin=1", "QScan=1", "Recycle=0", "Scan64=0",
                                        "Settings=1", "StatusBar=1", "ToolTips=1", "Toolbar=1", "cxy=640 480",
                                        "xy=120 80"}),
              StoredValues());
}

TEST_F(CommandTest, SaveSettingsOnExitOffLeavesTheRegistryUnchanged)
{
    Open();
    Command(window, IDM_SAVE_ON_EXIT);
    Command(window, IDM_SHOW_TOOLBAR);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(std::vector<std::string>{}, StoredValues());
}

TEST_F(CommandTest, SaveSettingsNowStoresFlagsAndPlacementAtOnce)
{
    Open();
    Command(window, IDM_SAVE_ON_EXIT);
    Command(window, IDM_QUICK_SCAN);
    Command(window, IDM_MODERN_LINKS);
    Command(window, IDM_RECYCLE);
    Command(window, IDM_SCAN_64_BIT);
    SetWindowPos(window, nullptr, -40, -12, 500, 300, SWP_NOZORDER);
    Command(window, IDM_SAVE_NOW);
    EXPECT_EQ((std::vector<std::string>{"ImpDir=1", "Lower=0", "MaxMin=1", "QScan=0", "Recycle=1", "Scan64=1",
                                        "Settings=0", "StatusBar=1", "ToolTips=1", "Toolbar=1", "cxy=500 300",
                                        "xy=-40 -12"}),
              StoredValues());
    // Maximized: MaxMin alone changes; the last normal rectangle stays stored.
    ShowWindow(window, SW_MAXIMIZE);
    Command(window, IDM_SAVE_NOW);
    EXPECT_EQ(3, StoredByte("MaxMin"));
    EXPECT_EQ("-40 -12", StoredText("xy"));
    ShowWindow(window, SW_MINIMIZE);
    Command(window, IDM_SAVE_NOW);
    EXPECT_EQ(2, StoredByte("MaxMin"));
    EXPECT_EQ("500 300", StoredText("cxy"));
}

TEST_F(CommandTest, HelpCommandsAskTheViewerWithTheirContexts)
{
    Open();
    HelpRecorder help;
    Command(window, IDM_HELP_CONTENTS);
    Command(window, IDM_HELP_SEARCH);
    Command(window, IDM_HELP_ON_HELP);
    // F1 in a menu asks for the highlighted item's topic.
    SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(IDM_SAVE_LIST, MF_STRING), 0);
    BYTE keys[256];
    GetKeyboardState(keys);
    SendMessageA(window, WM_ENTERIDLE, MSGF_MENU, 0);
    keys[VK_F1] = 0x80;
    SetKeyboardState(keys);
    SendMessageA(window, WM_ENTERIDLE, MSGF_DIALOGBOX, 0);
    SendMessageA(window, WM_ENTERIDLE, MSGF_MENU, 0);
    keys[VK_F1] = 0;
    SetKeyboardState(keys);

    // The build writes the help file beside this program: the viewer is given its path.
    const std::string helpFile = ProgramFolder() + "\\ORVENNA.HLP";
    const auto& calls = help.Calls();
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ(static_cast<UINT>(HELP_CONTENTS), calls[0].command);
    EXPECT_EQ(helpFile, calls[0].file);
    EXPECT_EQ(static_cast<UINT>(HELP_PARTIALKEY), calls[1].command);
    EXPECT_EQ("", calls[1].text);
    EXPECT_EQ(helpFile, calls[1].file);
    // The test prefix's Windows directory has no guide of the viewer's: the one beside
    // the program is opened.
    EXPECT_EQ(static_cast<UINT>(HELP_CONTENTS), calls[2].command);
    EXPECT_EQ(ProgramFolder() + "\\WINHELP.HLP", calls[2].file);
    EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), calls[3].command);
    EXPECT_EQ(static_cast<ULONG_PTR>(IDM_SAVE_LIST), calls[3].data);
    EXPECT_EQ(helpFile, calls[3].file);
}

TEST_F(CommandTest, AboutShowsTheVersionText)
{
    Open();
    std::string title, text;
    DialogAnswerer answerer([&](HWND box) {
        title = WindowText(box);
        for (const std::string& s : StaticTexts(box))
            if (s.size() > text.size())
                text = s;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    Command(window, IDM_ABOUT);
    EXPECT_EQ(1, answerer.Count());
    EXPECT_EQ("About Orvenna", title);
    EXPECT_EQ("Orvenna - Version 5.0 - April 1996", text);
}

class ListedCommandTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        for (const char* name : {"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL", "C:\\C\\THREE.DLL"})
            AddName(g_resultList, name);
        Open();
    }
};

TEST_F(ListedCommandTest, SelectAllAndNoneAndTheExtentReset)
{
    Command(window, IDM_SELECT_ALL);
    EXPECT_EQ(3, SendMessageA(g_resultListWindow, LB_GETSELCOUNT, 0, 0));
    Command(window, IDM_SELECT_NONE);
    EXPECT_EQ(0, SendMessageA(g_resultListWindow, LB_GETSELCOUNT, 0, 0));
    SendMessageA(g_resultListWindow, LB_SETHORIZONTALEXTENT, 900, 0);
    Command(window, IDM_RESET_EXTENT);
    EXPECT_EQ(0, SendMessageA(g_resultListWindow, LB_GETHORIZONTALEXTENT, 0, 0));
}

TEST_F(ListedCommandTest, EnterAndDoubleClickOpenTheVersionPaneOnlyWhenClosed)
{
    SendMessageA(window, WM_VKEYTOITEM, MAKEWPARAM(VK_RETURN, 0),
                 reinterpret_cast<LPARAM>(g_resultListWindow));
    EXPECT_EQ(std::vector<int>{IDC_RESULT_LIST}, TakePostedCommands());
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_RESULT_LIST, LBN_DBLCLK), 0);
    EXPECT_EQ(std::vector<int>{IDM_DISPLAY_VERSION}, TakePostedCommands());
    g_versionPaneShown = true;
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_RESULT_LIST, LBN_DBLCLK), 0);
    EXPECT_EQ(std::vector<int>{}, TakePostedCommands());
    // The version pane's own menu closes it through Display Version Information.
    g_versionPaneShown = false;
    Command(window, IDM_CLOSE_VERSION);
    EXPECT_TRUE(g_versionPaneShown);
    EXPECT_EQ(std::vector<int>{IDM_DISPLAY_VERSION}, TakePostedCommands());
    g_versionPaneShown = false;
}

TEST_F(ListedCommandTest, TabMovesBetweenTheListsOnlyWithThePane)
{
    auto tab = [&] {
        SendMessageA(window, WM_VKEYTOITEM, MAKEWPARAM(VK_TAB, 0), reinterpret_cast<LPARAM>(GetFocus()));
    };
    SetForegroundWindow(window);
    tab();
    EXPECT_EQ(g_resultListWindow, GetFocus());
    tab();
    EXPECT_EQ(g_resultListWindow, GetFocus());
    g_versionPaneShown = true;
    ShowWindow(g_versionListWindow, SW_SHOW);
    tab();
    EXPECT_EQ(g_versionListWindow, GetFocus());
    tab();
    EXPECT_EQ(g_resultListWindow, GetFocus());
    CloseVersionPane(window);
}

TEST_F(ListedCommandTest, F1InAListAsksForTheContents)
{
    HelpRecorder help;
    SendMessageA(window, WM_VKEYTOITEM, MAKEWPARAM(VK_F1, 0), reinterpret_cast<LPARAM>(g_resultListWindow));
    ASSERT_EQ(1u, help.Calls().size());
    EXPECT_EQ(static_cast<UINT>(HELP_CONTENTS), help.Calls()[0].command);
}

// Ends the tracked menu once it is open, from a timer of the menu's own loop.
void CALLBACK EndTrackedMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    EndMenu();
}

// Posts the right click as the window's WM_PARENTNOTIFY does and runs the command.
void RightClick(HWND window, POINT client)
{
    SendMessageA(window, WM_PARENTNOTIFY, MAKEWPARAM(WM_RBUTTONDOWN, IDC_RESULT_LIST),
                 MAKELPARAM(client.x, client.y));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    ASSERT_EQ(IDM_CONTEXT_MENU, LOWORD(msg.wParam));
    SetTimer(nullptr, 0, 100, EndTrackedMenu);
    DispatchMessageA(&msg);
}

TEST_F(ListedCommandTest, RightClickSelectsTheItemAloneAndOpensTheContextMenu)
{
    WindowSpy spy(window);
    SendMessageA(g_resultListWindow, LB_SETSEL, TRUE, -1);
    RECT item;
    SendMessageA(g_resultListWindow, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    RECT list = ChildRect(window, IDC_RESULT_LIST);
    RightClick(window, POINT{list.left + 40, list.top + (item.top + item.bottom) / 2});

    EXPECT_EQ(1, SendMessageA(g_resultListWindow, LB_GETSELCOUNT, 0, 0));
    EXPECT_GT(SendMessageA(g_resultListWindow, LB_GETSEL, 1, 0), 0);
    EXPECT_EQ(1, SendMessageA(g_resultListWindow, LB_GETCARETINDEX, 0, 0));
    ASSERT_EQ(1u, spy.popupStates.size());
    const auto& states = spy.popupStates[0];
    ASSERT_EQ(6u, states.size());
    EXPECT_EQ(static_cast<UINT>(IDM_STOP), states[5].first);
    EXPECT_TRUE(states[5].second & MF_GRAYED) << "Stop is grey while no scan runs";
    EXPECT_FALSE(states[0].second & MF_GRAYED) << "Display Version Information";
}

TEST_F(ListedCommandTest, RightClickOnAnEmptyListOrElsewhereOpensNothing)
{
    WindowSpy spy(window);
    RECT line = ChildRect(window, IDC_STATUS_LINE);
    RightClick(window, POINT{line.left + 5, line.top + 2});
    Clear(g_resultList);
    RECT list = ChildRect(window, IDC_RESULT_LIST);
    RightClick(window, POINT{list.left + 5, list.top + 5});
    EXPECT_TRUE(spy.popups.empty());
    // Let the timers of the menus that never opened run out.
    Sleep(150);
    PumpWaitingMessages();
}

TEST_F(CommandTest, CommandLineSlashSPostsStartAndNearMissesDoNot)
{
    Open("/S");
    EXPECT_EQ(std::vector<int>{IDM_START}, TakePostedCommands());
    for (const char* line : {"/s", "/S"})
    {
        Command(window, IDM_COMMAND_LINE, reinterpret_cast<LPARAM>(line));
        EXPECT_EQ(std::vector<int>{IDM_START}, TakePostedCommands()) << line;
    }
    for (const char* line : {"", "/S ", " /S", "-S", "/S /S", "/Scan", "S"})
    {
        Command(window, IDM_COMMAND_LINE, reinterpret_cast<LPARAM>(line));
        EXPECT_EQ(std::vector<int>{}, TakePostedCommands()) << '"' << line << '"';
    }
}

} // namespace
