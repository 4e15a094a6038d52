// QemGetInstHandle and the resources that callers load from it.
#include "platform/qemcom95.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

std::string ItemText(HMENU menu, UINT id)
{
    char text[128] = "";
    GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
    return text;
}

TEST(ResourcesTest, InstanceIsTheLibrarysModule)
{
    EXPECT_EQ(GetModuleHandleA("qemcom95.dll"), QemGetInstHandle());
}

TEST(ResourcesTest, ListItemBitmapIsSixteenSquare)
{
    HBITMAP bitmap = LoadBitmapA(QemGetInstHandle(), MAKEINTRESOURCEA(QEM_IDB_LIST_ITEM));
    ASSERT_NE(nullptr, bitmap);
    BITMAP info = {};
    ASSERT_NE(0, GetObjectA(bitmap, sizeof info, &info));
    EXPECT_EQ(16, info.bmWidth);
    EXPECT_EQ(16, info.bmHeight);
    DeleteObject(bitmap);
}

// Callers track submenu 0 of each menu; its one command arrives at them as WM_COMMAND.
TEST(ResourcesTest, VersionMenusHoldTheirOneCommand)
{
    struct Case
    {
        const char* name;
        int menu;
        UINT command;
        const char* textHolds; // a word the item's text holds; any text for ""
    };
    const Case cases[] = {
        {"pane shown: close it", QEM_IDM_VERSION_PANE, QEM_IDM_CLOSE_VERSION, "Close"},
        {"pane hidden: open it", QEM_IDM_VERSION_LIST, QEM_IDM_SHOW_VERSION, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        HMENU menu = LoadMenuA(QemGetInstHandle(), MAKEINTRESOURCEA(c.menu));
        ASSERT_NE(nullptr, menu);
        HMENU popup = GetSubMenu(menu, 0);
        ASSERT_NE(nullptr, popup);
        EXPECT_EQ(1, GetMenuItemCount(popup));
        EXPECT_EQ(c.command, GetMenuItemID(popup, 0));
        const std::string text = ItemText(popup, c.command);
        EXPECT_FALSE(text.empty());
        EXPECT_NE(std::string::npos, text.find(c.textHolds)) << text;
        DestroyMenu(menu);
    }
}

} // namespace
