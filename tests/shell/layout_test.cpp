#include <gtest/gtest.h>

#include "shell/layout.h"

namespace
{

void ExpectPlace(const ChildPlace& actual, int x, int y, int width, int height, const char* what)
{
    EXPECT_EQ(x, actual.x) << what;
    EXPECT_EQ(y, actual.y) << what;
    EXPECT_EQ(width, actual.width) << what;
    EXPECT_EQ(height, actual.height) << what;
}

LayoutInput Client600By400()
{
    LayoutInput input;
    input.clientWidth = 600;
    input.clientHeight = 400;
    input.textHeight = 16;
    input.screenWidth = 800;
    return input;
}

TEST(Layout, WorkedExampleWithBothBars)
{
    MainLayout layout = ComputeLayout(Client600By400());
    ExpectPlace(layout.toolbar, 0, 0, 600, 27, "toolbar");
    ExpectPlace(layout.statusBar, 0, 380, 600, 20, "status bar");
    ExpectPlace(layout.statusLine, 8, 34, 584, 16, "status line");
    ExpectPlace(layout.resultList, 8, 54, 584, 317, "result list");
}

TEST(Layout, WorkedExampleWithVersionPane)
{
    LayoutInput input = Client600By400();
    input.versionPane = true;
    MainLayout layout = ComputeLayout(input);
    ExpectPlace(layout.resultList, 8, 54, 584, 204, "result list");
    ExpectPlace(layout.versionList, 8, 262, 584, 108, "version list");
    // Six text lines more for the result list, four pixels between the two.
    EXPECT_EQ(6 * 16, layout.resultList.height - layout.versionList.height);
    EXPECT_EQ(layout.resultList.y + layout.resultList.height + 4, layout.versionList.y);
}

TEST(Layout, HiddenToolbarMovesTheStatusLineUpAndGivesTheListItsHeight)
{
    LayoutInput input = Client600By400();
    input.toolbar = false;
    MainLayout layout = ComputeLayout(input);
    ExpectPlace(layout.toolbar, 0, 0, 600, 0, "toolbar");
    ExpectPlace(layout.statusLine, 8, 8, 584, 16, "status line");
    ExpectPlace(layout.resultList, 8, 28, 584, 317 + 27, "result list");
}

TEST(Layout, StatusBarHeightFollowsScreenWidthAndPreference)
{
    LayoutInput input = Client600By400();
    const std::pair<int, int> cases[] = {{640, 20}, {800, 20}, {801, 24}, {1024, 24}};
    for (auto [screen, height] : cases)
    {
        input.screenWidth = screen;
        MainLayout layout = ComputeLayout(input);
        ExpectPlace(layout.statusBar, 0, 400 - height, 600, height, "status bar");
        EXPECT_EQ(400 - (16 + 27 + height + 20), layout.resultList.height) << "screen " << screen;
    }
    input.statusBar = false;
    MainLayout layout = ComputeLayout(input);
    ExpectPlace(layout.statusBar, 0, 400, 600, 0, "hidden status bar");
    EXPECT_EQ(400 - (16 + 27 + 20), layout.resultList.height);
}

TEST(Layout, BothBarsHiddenWithPaneSplitsTruncatingTowardZero)
{
    LayoutInput input = Client600By400();
    input.toolbar = input.statusBar = false;
    input.versionPane = true;
    input.clientHeight = 401; // (401 - 40) / 2 = 180, the half pixel dropped
    MainLayout layout = ComputeLayout(input);
    ExpectPlace(layout.statusLine, 8, 8, 584, 16, "status line");
    ExpectPlace(layout.resultList, 8, 28, 584, 48 + 180, "result list");
    ExpectPlace(layout.versionList, 8, 28 + 228 + 4, 584, 180 - 48, "version list");
}

TEST(Layout, TinyClientGivesEmptyListsNotNegativeOnes)
{
    LayoutInput input = Client600By400();
    input.clientWidth = input.clientHeight = 0;
    MainLayout layout = ComputeLayout(input);
    EXPECT_EQ(0, layout.resultList.height);
    input.versionPane = true;
    layout = ComputeLayout(input);
    EXPECT_EQ(3 * 16 + (0 - (16 + 27 + 20 + 24)) / 2, layout.resultList.height);
    EXPECT_EQ(0, layout.versionList.height);
    // The least height the window keeps: eight lines of list, or seven and one of pane.
    input.clientHeight = MinimumClientHeight(input);
    EXPECT_EQ(7 * 16, ComputeLayout(input).resultList.height);
    EXPECT_EQ(16, ComputeLayout(input).versionList.height);
    input.versionPane = false;
    EXPECT_EQ(8 * 16 + 4, ComputeLayout(input).resultList.height);
}

} // namespace
