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

// Callers track submenu 0 of each menu; its commands arrive at them as WM_COMMAND.
TEST(ResourcesTest, VersionPaneMenuClosesThePane)
{
    HMENU menu = LoadMenuA(QemGetInstHandle(), MAKEINTRESOURCEA(QEM_IDM_VERSION_PANE));
    ASSERT_NE(nullptr, menu);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(1, GetMenuItemCount(popup));
    EXPECT_EQ(UINT{QEM_IDM_CLOSE_VERSION}, GetMenuItemID(popup, 0));
    EXPECT_NE(std::string::npos, ItemText(popup, QEM_IDM_CLOSE_VERSION).find("Close"));
    DestroyMenu(menu);
}

TEST(ResourcesTest, HiddenPaneMenuOpensThePane)
{
    HMENU menu = LoadMenuA(QemGetInstHandle(), MAKEINTRESOURCEA(QEM_IDM_VERSION_LIST));
    ASSERT_NE(nullptr, menu);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(1, GetMenuItemCount(popup));
    EXPECT_EQ(UINT{QEM_IDM_SHOW_VERSION}, GetMenuItemID(popup, 0));
    EXPECT_FALSE(ItemText(popup, QEM_IDM_SHOW_VERSION).empty());
    DestroyMenu(menu);
}

} // namespace
