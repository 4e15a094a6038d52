// The resource script as the window loads it: every menu and the shortcuts.
#include "tests/shell/window_test_util.h"

#include <string>
#include <vector>

#include "resources/resource.h"

namespace
{

std::string ItemText(HMENU menu, UINT id)
{
    char text[100] = {};
    GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
    return text;
}

// Every item's identifier and text, "-" for a separator.
std::vector<std::string> PopupItems(HMENU popup)
{
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(popup); ++i)
    {
        UINT id = GetMenuItemID(popup, i);
        items.push_back(GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR
                            ? "-"
                            : std::to_string(id) + " " + ItemText(popup, id));
    }
    return items;
}

std::vector<std::string> PopupTitles(HMENU bar)
{
    std::vector<std::string> titles;
    for (int i = 0; i < GetMenuItemCount(bar); ++i)
    {
        char title[50] = {};
        GetMenuStringA(bar, static_cast<UINT>(i), title, sizeof title, MF_BYPOSITION);
        titles.push_back(title);
    }
    return titles;
}

// The flags (without the end-of-table bit), the key and the command of a shortcut.
std::string Shortcut(int flags, int key, int command)
{
    return std::to_string(flags & ~0x80) + " " + std::to_string(key) + " " + std::to_string(command);
}

std::vector<std::string> Shortcuts()
{
    std::vector<std::string> lines;
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ACCEL entries[16];
    const int count = table ? CopyAcceleratorTableA(table, entries, 16) : 0;
    for (int i = 0; i < count; ++i)
        lines.push_back(Shortcut(entries[i].fVirt, entries[i].key, entries[i].cmd));
    return lines;
}

using ResourcesTest = MainWindowTest;

TEST_F(ResourcesTest, MenusAndShortcutsAreTheScripts)
{
    Open();
    HMENU bar = GetMenu(window);
    HMENU context = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_CONTEXT_MENU));
    ASSERT_NE(nullptr, context);
    const int key = FNOINVERT, virtualKey = FVIRTKEY | FNOINVERT;
    struct Case
    {
        const char* name;
        std::vector<std::string> actual, expected;
    };
    const Case cases[] = {
        {"menu bar", PopupTitles(bar), {"&File", "&Options", "&Preferences", "&Help"}},
        {"File",
         PopupItems(GetSubMenu(bar, 0)),
         {"914 &Start\tCtrl+S", "915 Sto&p", "-", "921 &Backup...\tCtrl+B", "920 Sa&ve List As...", "-",
          "922 &Delete...\tDel", "-", "819 E&xit \tAlt+F4"}},
        {"Options",
         PopupItems(GetSubMenu(bar, 1)),
         {"830 Display &Version Information\tCtrl+V", "-", "832 Check &Function Calls...\tF2",
          "940 Check &Links to Other Modules...\tF3", "-", "916 Set Fil&ters...\tCtrl+T", "-",
          "917 Select &All", "918 Select &None", "-", "919 &Quick Scan Only", "923 Read &Modern Links",
          "926 Include &64-bit DLLs"}},
        {"Preferences",
         PopupItems(GetSubMenu(bar, 2)),
         {"851 Show &Lowercase File Names", "-", "854 Show Toolbar Ti&ps", "-", "837 Show &Toolbar ",
          "838 Show &Status Bar", "-", "924 Delete to Recycle &Bin", "-", "856 Save Settings &Now",
          "855 Sa&ve Settings on Exit"}},
        {"Help",
         PopupItems(GetSubMenu(bar, 3)),
         {"870 &Contents\tF1", "871 &Search for Help on...", "872 &How to Use Help", "-",
          "873 &About Orvenna..."}},
        {"context menu",
         PopupItems(GetSubMenu(context, 0)),
         {"830 Display &Version Information\tCtrl+V", "-", "832 Check &Function Calls...\tF2",
          "940 Check &Links to Other Modules...\tF3", "-", "915 Sto&p"}},
        {"shortcuts",
         Shortcuts(),
         {Shortcut(key, 0x13, IDM_START), Shortcut(key, 0x14, IDM_SET_FILTERS),
          Shortcut(key, 0x02, IDM_BACKUP), Shortcut(key, 0x16, IDM_DISPLAY_VERSION),
          Shortcut(virtualKey, VK_F1, IDM_HELP_CONTENTS),
          Shortcut(virtualKey, VK_F2, IDM_CHECK_FUNCTION_CALLS), Shortcut(virtualKey, VK_F3, IDM_CHECK_LINKS),
          Shortcut(virtualKey, VK_DELETE, IDM_DELETE)}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, c.actual) << c.name;
    DestroyMenu(context);
}

} // namespace
