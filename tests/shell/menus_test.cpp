// The menus: check marks and grey states in the idle, scanning and empty-list states,
// the status-bar hints and the toolbar's tips.
#include "tests/shell/window_test_util.h"

#include <commctrl.h>

#include "engine/scan_state.h"
#include "resources/resource.h"
#include "shell/shell.h"

namespace
{

// Sends WM_INITMENUPOPUP for popup and answers whether command came out grey or checked.
bool IsGrey(HWND window, HMENU popup, UINT command)
{
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    return (GetMenuState(popup, command, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

bool IsChecked(HWND window, HMENU popup, UINT command)
{
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    return (GetMenuState(popup, command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

using MenuTest = MainWindowTest;

TEST_F(MenuTest, GreyStatesFollowScanningAndTheList)
{
    Open();
    HMENU file = GetSubMenu(GetMenu(window), 0), options = GetSubMenu(GetMenu(window), 1);
    HMENU context = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_CONTEXT_MENU));
    struct Item
    {
        HMENU popup;
        UINT command;
        bool greyIdleEmpty, greyIdleListed, greyScanningEmpty, greyScanningListed;
    };
    const Item items[] = {
        {file, IDM_START, false, false, true, true},
        {file, IDM_STOP, true, true, false, false},
        {file, IDM_BACKUP, true, false, true, true},
        {file, IDM_SAVE_LIST, true, false, true, true},
        {file, IDM_DELETE, true, false, true, true},
        {file, IDM_EXIT, false, false, false, false},
        {options, IDM_DISPLAY_VERSION, true, false, true, false},
        {options, IDM_CHECK_FUNCTION_CALLS, true, false, true, false},
        {options, IDM_CHECK_LINKS, true, false, true, false},
        {options, IDM_SET_FILTERS, false, false, true, true},
        {options, IDM_SELECT_ALL, true, false, true, true},
        {options, IDM_SELECT_NONE, true, false, true, true},
        {options, IDM_QUICK_SCAN, false, false, false, false},
        {options, IDM_MODERN_LINKS, false, false, false, false},
        {GetSubMenu(context, 0), IDM_STOP, true, true, false, false},
        {GetSubMenu(context, 0), IDM_CHECK_LINKS, true, false, true, false},
    };
    for (bool scanning : {false, true})
    {
        for (bool listed : {false, true})
        {
            Clear(g_resultList);
            if (listed)
                AddName(g_resultList, "C:\\WINDOWS\\SYSTEM\\FOO.DLL");
            g_scanning = scanning;
            for (const Item& item : items)
            {
                bool expected = scanning ? (listed ? item.greyScanningListed : item.greyScanningEmpty)
                                         : (listed ? item.greyIdleListed : item.greyIdleEmpty);
                EXPECT_EQ(expected, IsGrey(window, item.popup, item.command))
                    << item.command << (scanning ? " scanning" : " idle") << (listed ? " listed" : " empty");
            }
        }
    }
    g_scanning = 0;
    DestroyMenu(context);
}

TEST_F(MenuTest, CheckMarksShowTheFlagsAndFollowTheirCommands)
{
    Open();
    HMENU options = GetSubMenu(GetMenu(window), 1), preferences = GetSubMenu(GetMenu(window), 2);
    struct Item
    {
        HMENU popup;
        UINT command;
        bool checkedAtFirstStart;
    };
    const Item items[] = {
        {preferences, IDM_LOWER_CASE, false},  {preferences, IDM_SHOW_TOOL_TIPS, true},
        {preferences, IDM_SHOW_TOOLBAR, true}, {preferences, IDM_SHOW_STATUS_BAR, true},
        {preferences, IDM_SAVE_ON_EXIT, true}, {options, IDM_QUICK_SCAN, true},
        {options, IDM_MODERN_LINKS, false},    {preferences, IDM_RECYCLE, false},
        {options, IDM_SCAN_64_BIT, false},
    };
    for (const Item& item : items)
    {
        EXPECT_EQ(item.checkedAtFirstStart, IsChecked(window, item.popup, item.command)) << item.command;
        SendMessageA(window, WM_COMMAND, item.command, 0);
        EXPECT_EQ(!item.checkedAtFirstStart, IsChecked(window, item.popup, item.command)) << item.command;
        SendMessageA(window, WM_COMMAND, item.command, 0);
        EXPECT_EQ(item.checkedAtFirstStart, IsChecked(window, item.popup, item.command)) << item.command;
    }
    EXPECT_FALSE(IsChecked(window, options, IDM_DISPLAY_VERSION));
    g_versionPaneShown = true;
    EXPECT_TRUE(IsChecked(window, options, IDM_DISPLAY_VERSION));
    g_versionPaneShown = false;
    // The save commands carry no mark.
    EXPECT_FALSE(IsChecked(window, preferences, IDM_SAVE_NOW));
}

TEST_F(MenuTest, HighlightedItemShowsItsHintWithAFullStop)
{
    Open();
    const std::pair<UINT, const char*> hints[] = {
        {IDM_START, " Start scanning for possibly unused DLLs."},
        {IDM_STOP, " Stop scanning for possibly unused DLLs."},
        {IDM_BACKUP, " Backup selected files."},
        {IDM_SAVE_LIST, " Save the list of unused DLLs to a file."},
        {IDM_DELETE, " Delete selected files."},
        {IDM_EXIT, " Exit Orvenna."},
        {IDM_DISPLAY_VERSION, " Display version information for the selected file."},
        {IDM_CHECK_FUNCTION_CALLS, " Check function calls in the selected file."},
        {IDM_CHECK_LINKS, " Check links to other modules."},
        {IDM_SET_FILTERS, " Set filters to search for DLLs."},
        {IDM_SELECT_ALL, " Select all files for deletion or backup."},
        {IDM_SELECT_NONE, " Undo all selected files."},
        {IDM_QUICK_SCAN, " Do a quick scan only, do not interrogate files."},
        {IDM_MODERN_LINKS,
         " Read the links a current loader follows: import tables wherever placed, delay-load imports, "
         "export forwarders."},
        {IDM_LOWER_CASE, " Toggle lower/uppercase for the file names."},
        {IDM_SHOW_TOOL_TIPS, " Show explanations for Toolbar buttons."},
        {IDM_SHOW_TOOLBAR, " Toggle Toolbar on/off."},
        {IDM_SHOW_STATUS_BAR, " Toggle Status Bar on/off."},
        {IDM_RECYCLE, " Move deleted files to the Recycle Bin instead of removing them."},
        {IDM_SAVE_NOW, " Save all settings NOW to the Registry."},
        {IDM_SAVE_ON_EXIT, " Save all settings upon exit to the Registry."},
        // Hints that end in a full stop get a second one.
        {IDM_HELP_CONTENTS, " View the Help contents page.."},
        {IDM_HELP_SEARCH, " Search Help for a particular topic.."},
        {IDM_HELP_ON_HELP, " Find out how to use the Help system."},
        {IDM_ABOUT, " View copyright statement for Orvenna."},
    };
    HMENU file = GetSubMenu(GetMenu(window), 0);
    for (auto [command, hint] : hints)
    {
        SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(command, MF_STRING), reinterpret_cast<LPARAM>(file));
        EXPECT_EQ(hint, StatusBarText(window)) << command;
    }
}

TEST_F(MenuTest, SeparatorsPopupsAndClosingShowTheIdleBanner)
{
    Open();
    char banner[150] = {};
    LoadStringA(GetModuleHandleA(nullptr), IDS_IDLE_BANNER, banner, sizeof banner);
    ASSERT_EQ(' ', banner[0]);
    EXPECT_EQ(banner, StatusBarText(window)) << "at creation";
    HMENU bar = GetMenu(window);
    const std::pair<WPARAM, LPARAM> selections[] = {
        {MAKEWPARAM(0, MF_SEPARATOR), reinterpret_cast<LPARAM>(GetSubMenu(bar, 0))},
        {MAKEWPARAM(0, MF_POPUP | MF_HILITE), reinterpret_cast<LPARAM>(bar)},
        {MAKEWPARAM(3, MF_POPUP | MF_HILITE), reinterpret_cast<LPARAM>(bar)},
        {MAKEWPARAM(0, 0xFFFF), 0},
    };
    for (auto [wParam, lParam] : selections)
    {
        SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(IDM_EXIT, MF_STRING), 0);
        ASSERT_EQ(" Exit Orvenna.", StatusBarText(window));
        SendMessageA(window, WM_MENUSELECT, wParam, lParam);
        EXPECT_EQ(banner, StatusBarText(window)) << "item " << LOWORD(wParam) << " flags " << HIWORD(wParam);
    }
}

// The tip is requested from the toolbar's parent with the button's command.
std::string TipFor(HWND window, UINT command, bool wide)
{
    if (wide)
    {
        NMTTDISPINFOW tip{};
        tip.hdr.hwndFrom = window;
        tip.hdr.idFrom = command;
        tip.hdr.code = TTN_NEEDTEXTW;
        SendMessageA(window, WM_NOTIFY, command, reinterpret_cast<LPARAM>(&tip));
        if (!tip.lpszText)
            return "(none)";
        char text[100] = {};
        WideCharToMultiByte(CP_ACP, 0, tip.lpszText, -1, text, sizeof text, nullptr, nullptr);
        return text;
    }
    NMTTDISPINFOA tip{};
    tip.hdr.hwndFrom = window;
    tip.hdr.idFrom = command;
    tip.hdr.code = TTN_NEEDTEXTA;
    SendMessageA(window, WM_NOTIFY, command, reinterpret_cast<LPARAM>(&tip));
    return tip.lpszText ? tip.lpszText : "(none)";
}

TEST_F(MenuTest, ToolTipsAreTheHintsWithoutTheFullStopWhileTurnedOn)
{
    Open();
    for (bool wide : {false, true})
    {
        EXPECT_EQ(" Start scanning for possibly unused DLLs", TipFor(window, IDM_START, wide));
        EXPECT_EQ(" View the Help contents page.", TipFor(window, IDM_HELP_CONTENTS, wide));
        EXPECT_EQ(" Exit Orvenna", TipFor(window, IDM_EXIT, wide));
    }
    SendMessageA(window, WM_COMMAND, IDM_SHOW_TOOL_TIPS, 0);
    for (bool wide : {false, true})
        EXPECT_EQ("(none)", TipFor(window, IDM_START, wide));
}

TEST_F(MenuTest, ToolbarHasElevenPositionsAndFollowsTheStates)
{
    Open();
    HWND toolbar = Child(window, IDC_TOOLBAR);
    ASSERT_EQ(11, SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    const int commands[] = {0,
                            IDM_START,
                            IDM_STOP,
                            IDM_SAVE_LIST,
                            0,
                            IDM_CHECK_FUNCTION_CALLS,
                            IDM_CHECK_LINKS,
                            IDM_SET_FILTERS,
                            0,
                            IDM_EXIT,
                            IDM_HELP_CONTENTS};
    for (int i = 0; i < 11; ++i)
    {
        TBBUTTON button{};
        SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ(commands[i], button.idCommand) << "position " << i;
        EXPECT_EQ(commands[i] == 0, (button.fsStyle & TBSTYLE_SEP) != 0) << "position " << i;
    }
    auto enabled = [&](int command) {
        return (SendMessageA(toolbar, TB_GETSTATE, command, 0) & TBSTATE_ENABLED) != 0;
    };
    RefreshToolbarStates();
    for (int command : {IDM_START, IDM_SET_FILTERS, IDM_EXIT, IDM_HELP_CONTENTS})
        EXPECT_TRUE(enabled(command)) << command << " before a scan";
    for (int command : {IDM_STOP, IDM_SAVE_LIST, IDM_CHECK_FUNCTION_CALLS, IDM_CHECK_LINKS})
        EXPECT_FALSE(enabled(command)) << command << " before a scan";
    AddName(g_resultList, "C:\\A.DLL");
    g_scanning = 1;
    RefreshToolbarStates();
    for (int command : {IDM_STOP, IDM_CHECK_FUNCTION_CALLS, IDM_CHECK_LINKS, IDM_EXIT})
        EXPECT_TRUE(enabled(command)) << command << " scanning";
    for (int command : {IDM_START, IDM_SET_FILTERS, IDM_SAVE_LIST})
        EXPECT_FALSE(enabled(command)) << command << " scanning";
    g_scanning = 0;
}

} // namespace
