// The children of the main window where the layout arithmetic puts them, for a given
// client size, with and without each bar and with the version pane.
#include "tests/shell/window_test_util.h"

#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/shell.h"

namespace
{

// tmHeight of the default font, as the layout measures it.
int DefaultTextHeight(HWND window)
{
    HWND line = Child(window, IDC_STATUS_LINE);
    HDC dc = GetDC(line);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(line, dc);
    return metrics.tmHeight;
}

void ExpectRect(const RECT& rect, int x, int y, int width, int height, const char* what, int line)
{
    testing::ScopedTrace trace(__FILE__, line, what);
    EXPECT_EQ(x, rect.left);
    EXPECT_EQ(y, rect.top);
    EXPECT_EQ(width, rect.right - rect.left);
    EXPECT_EQ(height, rect.bottom - rect.top);
}
#define EXPECT_RECT(rect, x, y, w, h) ExpectRect(rect, x, y, w, h, #rect, __LINE__)

class LayoutWindowTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Open();
        tmH = DefaultTextHeight(window);
        B = GetSystemMetrics(SM_CXSCREEN) > 800 ? 24 : 20;
    }
    // The layout of a 600 by 400 client area, whatever the window's own size.
    void Size600By400() { SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(600, 400)); }
    int tmH = 0;
    int B = 0;
};

// The hidden name lists are stores, not windows; the result list is kept in the
// store's order, so it does not sort itself.
TEST_F(LayoutWindowTest, ChildrenTheirStylesAndTheInterfaceFont)
{
    for (int hidden : {IDC_VALID_LINKS, IDC_PENDING_LINKS, IDC_FILE_REFERENCES, IDC_TEXT_REFERENCES})
        EXPECT_EQ(nullptr, Child(window, hidden)) << hidden;
    const LONG_PTR style = GetWindowLongPtrA(g_resultListWindow, GWL_STYLE);
    EXPECT_FALSE(style & LBS_SORT);
    for (LONG_PTR bit : {LBS_EXTENDEDSEL, LBS_OWNERDRAWFIXED, LBS_HASSTRINGS, LBS_WANTKEYBOARDINPUT,
                         LBS_NOTIFY, LBS_NOINTEGRALHEIGHT})
        EXPECT_TRUE(style & bit) << std::hex << bit;
    auto font = [&](int id) { return SendMessageA(Child(window, id), WM_GETFONT, 0, 0); };
    EXPECT_NE(0, font(IDC_RESULT_LIST));
    for (int id : {IDC_VERSION_LIST, IDC_STATUS_LINE, IDC_STATUS_BAR})
        EXPECT_EQ(font(IDC_RESULT_LIST), font(id)) << id;
    EXPECT_NE(font(IDC_RESULT_LIST), font(IDC_TOOLBAR));
}

TEST_F(LayoutWindowTest, BothBarsShown)
{
    ASSERT_GT(tmH, 0);
    Size600By400();
    EXPECT_RECT(ChildRect(window, IDC_STATUS_LINE), 8, 34, 584, tmH);
    EXPECT_RECT(ChildRect(window, IDC_RESULT_LIST), 8, 34 + tmH + 4, 584, 400 - (tmH + 27 + B + 20));
    EXPECT_TRUE(IsWindowVisible(Child(window, IDC_TOOLBAR)));
    EXPECT_TRUE(IsWindowVisible(Child(window, IDC_STATUS_BAR)));
    // The bars keep to the top and bottom edges of the real client area; the common
    // controls choose their own heights.
    RelayoutMainWindow(window);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(0, ChildRect(window, IDC_TOOLBAR).top);
    EXPECT_EQ(client.right, ChildRect(window, IDC_TOOLBAR).right);
    EXPECT_EQ(client.bottom, ChildRect(window, IDC_STATUS_BAR).bottom);
    EXPECT_EQ(client.right, ChildRect(window, IDC_STATUS_BAR).right);
}

TEST_F(LayoutWindowTest, ToolbarCommandHidesItAndRelaysOut)
{
    SendMessageA(window, WM_COMMAND, IDM_SHOW_TOOLBAR, 0);
    EXPECT_EQ(0, g_showToolbar);
    EXPECT_FALSE(IsWindowVisible(Child(window, IDC_TOOLBAR)));
    Size600By400();
    EXPECT_RECT(ChildRect(window, IDC_STATUS_LINE), 8, 8, 584, tmH);
    EXPECT_RECT(ChildRect(window, IDC_RESULT_LIST), 8, 8 + tmH + 4, 584, 400 - (tmH + B + 20));

    SendMessageA(window, WM_COMMAND, IDM_SHOW_TOOLBAR, 0);
    EXPECT_TRUE(IsWindowVisible(Child(window, IDC_TOOLBAR)));
    // The command lays the window out again at once, for its real client size.
    RECT client;
    GetClientRect(window, &client);
    EXPECT_RECT(ChildRect(window, IDC_STATUS_LINE), 8, 34, client.right - 16, tmH);
}

TEST_F(LayoutWindowTest, StatusBarCommandHidesItAndRelaysOut)
{
    SendMessageA(window, WM_COMMAND, IDM_SHOW_STATUS_BAR, 0);
    EXPECT_EQ(0, g_showStatusBar);
    EXPECT_FALSE(IsWindowVisible(Child(window, IDC_STATUS_BAR)));
    Size600By400();
    EXPECT_RECT(ChildRect(window, IDC_RESULT_LIST), 8, 34 + tmH + 4, 584, 400 - (tmH + 27 + 20));
    SendMessageA(window, WM_COMMAND, IDM_SHOW_TOOLBAR, 0);
    Size600By400();
    EXPECT_RECT(ChildRect(window, IDC_RESULT_LIST), 8, 8 + tmH + 4, 584, 400 - (tmH + 20));
}

TEST_F(LayoutWindowTest, VersionPaneSplitsTheListsAndClosingGivesTheSpaceBack)
{
    g_versionPaneShown = true;
    ShowWindow(g_versionListWindow, SW_SHOW);
    Size600By400();
    const int half = (400 - (tmH + 27 + B + 24)) / 2;
    const int top = 34 + tmH + 4;
    EXPECT_RECT(ChildRect(window, IDC_RESULT_LIST), 8, top, 584, 3 * tmH + half);
    EXPECT_RECT(ChildRect(window, IDC_VERSION_LIST), 8, top + 3 * tmH + half + 4, 584, half - 3 * tmH);

    SendMessageA(g_versionListWindow, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("File version:\t1.0"));
    CloseVersionPane(window);
    EXPECT_FALSE(g_versionPaneShown);
    EXPECT_FALSE(IsWindowVisible(g_versionListWindow));
    EXPECT_EQ(0, SendMessageA(g_versionListWindow, LB_GETCOUNT, 0, 0));
    RECT client;
    GetClientRect(window, &client);
    EXPECT_RECT(ChildRect(window, IDC_RESULT_LIST), 8, top, client.right - 16,
                client.bottom - (tmH + 27 + B + 20));
}

TEST_F(LayoutWindowTest, StoredBarsOffAreHiddenFromTheStart)
{
    DestroyWindow(window);
    StoreByte("Toolbar", 0);
    StoreByte("StatusBar", 0);
    Open();
    EXPECT_FALSE(IsWindowVisible(Child(window, IDC_TOOLBAR)));
    EXPECT_FALSE(IsWindowVisible(Child(window, IDC_STATUS_BAR)));
    RECT client;
    GetClientRect(window, &client);
    EXPECT_RECT(ChildRect(window, IDC_STATUS_LINE), 8, 8, client.right - 16, tmH);
}

} // namespace
