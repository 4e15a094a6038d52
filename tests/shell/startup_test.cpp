// Start-up: the placement restored from the registry and the message loop with its
// shortcuts.
#include "tests/shell/window_test_util.h"

#include "engine/scan_state.h"
#include "resources/resource.h"
#include "results/results.h"
#include "shell/shell.h"
#include "shell/start_options.h"

namespace
{

using StartupTest = MainWindowTest;

RECT WindowRect(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

RECT NormalRect(HWND window)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    return placement.rcNormalPosition;
}

RECT DefaultRect()
{
    WindowPlacementRect place =
        DefaultPlacement(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return RECT{place.x, place.y, place.x + place.width, place.y + place.height};
}

void ExpectRectEq(const RECT& expected, const RECT& actual, const char* what, int line)
{
    testing::ScopedTrace trace(__FILE__, line, what);
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.top, actual.top);
    EXPECT_EQ(expected.right, actual.right);
    EXPECT_EQ(expected.bottom, actual.bottom);
}
#define EXPECT_RECT_EQ(expected, actual) ExpectRectEq(expected, actual, #actual, __LINE__)

TEST_F(StartupTest, FirstStartOpensAtTheDefaultPlacementWithTheCallersShowCode)
{
    Open(nullptr, SW_SHOWNORMAL);
    EXPECT_RECT_EQ(DefaultRect(), WindowRect(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsZoomed(window));
    char title[50] = {}, className[50] = {};
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ("Orvenna", title);
    EXPECT_STREQ("OrvennaWndClass95", className);
    EXPECT_EQ(GetModuleHandleA(nullptr), g_instance);
    DestroyWindow(window);
    Open(nullptr, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(IsZoomed(window));
}

TEST_F(StartupTest, StoredNormalRectangleIsRestoredNegativeCoordinatesIncluded)
{
    StoreByte("MaxMin", 1);
    StoreText("xy", "-50 -20");
    StoreText("cxy", "640 480");
    Open();
    EXPECT_RECT_EQ((RECT{-50, -20, 590, 460}), WindowRect(window));
}

TEST_F(StartupTest, StoredMaximizedOpensMaximizedWithTheDefaultNormalRectangle)
{
    StoreByte("MaxMin", 3);
    StoreText("xy", "10 10");
    StoreText("cxy", "300 200");
    Open(nullptr, SW_SHOWNORMAL);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_RECT_EQ(DefaultRect(), NormalRect(window));
    ShowWindow(window, SW_RESTORE);
    EXPECT_RECT_EQ(DefaultRect(), WindowRect(window));
}

TEST_F(StartupTest, StoredMinimizedOpensMinimized)
{
    StoreByte("MaxMin", 2);
    Open(nullptr, SW_SHOWNORMAL);
    EXPECT_TRUE(IsIconic(window));
}

TEST_F(StartupTest, IncompleteOrUnreadableRectangleKeepsTheDefault)
{
    const std::pair<const char*, const char*> stored[] = {
        {"120 80", nullptr}, {"120 80", ""}, {nullptr, "640 480"}, {"120", "640 480"}, {"x y", "640 480"}};
    for (auto [xy, cxy] : stored)
    {
        ClearStoredPreferences();
        if (xy)
            StoreText("xy", xy);
        if (cxy)
            StoreText("cxy", cxy);
        Open();
        EXPECT_RECT_EQ(DefaultRect(), WindowRect(window));
        DestroyWindow(window);
    }
}

// A MaxMin that start-up never writes would reach ShowWindow as it stands: 0 hides
// the window at every start. It counts as a normal window.
TEST_F(StartupTest, StrayMaxMinCountsAsNormal)
{
    for (BYTE stray : {0, 4, 7, 255})
    {
        ClearStoredPreferences();
        StoreByte("MaxMin", stray);
        StoreText("xy", "100 60");
        StoreText("cxy", "500 400");
        Open(nullptr, SW_SHOWNORMAL);
        EXPECT_TRUE(IsWindowVisible(window)) << int{stray};
        EXPECT_FALSE(IsIconic(window) || IsZoomed(window)) << int{stray};
        EXPECT_RECT_EQ((RECT{100, 60, 600, 460}), WindowRect(window));
        DestroyWindow(window);
    }
}

// F1 on the result list reaches the help twice: as the shortcut's command and through
// the list's own key handling; greyed commands' shortcuts do nothing; the loop ends
// with WM_CLOSE's quit.
TEST_F(StartupTest, MessageLoopTranslatesShortcutsAndEndsOnClose)
{
    Open();
    HelpRecorder help;
    WindowSpy spy(window);
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    SetFocus(g_resultListWindow);
    PostMessageA(g_resultListWindow, WM_KEYDOWN, VK_F1, 0x003B0001);
    PostMessageA(g_resultListWindow, WM_CHAR, 0x16, 0x002F0001); // Ctrl+V, the list empty
    PostMessageA(g_resultListWindow, WM_KEYDOWN, VK_F2, 0x003C0001);
    PostMessageA(window, WM_COMMAND, IDM_SAVE_ON_EXIT, 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, RunMessageLoop(window, table));

    std::vector<UINT> commands;
    for (const auto& call : help.Calls())
        commands.push_back(call.command);
    EXPECT_EQ((std::vector<UINT>{HELP_CONTENTS, HELP_CONTENTS, HELP_QUIT}), commands);
    for (int command : spy.commands)
    {
        EXPECT_NE(IDM_DISPLAY_VERSION, command);
        EXPECT_NE(IDM_CHECK_FUNCTION_CALLS, command);
    }
    EXPECT_EQ(std::vector<std::string>{}, StoredValues());
}

} // namespace
