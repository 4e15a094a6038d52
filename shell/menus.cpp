#include <windows.h>

#include <cstring>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/command_states.h"
#include "shell/shell.h"

namespace
{

void CheckItem(HMENU menu, UINT command, bool checked)
{
    CheckMenuItem(menu, command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// Items that the popup does not hold are left alone by the menu functions.
void EnableItem(HMENU menu, UINT command)
{
    const bool enabled = IsCommandEnabled(static_cast<int>(command), g_scanning != 0, GetCount(g_resultList));
    EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// Moves point from the main window's client area into child's.
POINT ToChildClient(HWND mainWindow, HWND child, POINT point)
{
    RECT rect;
    GetWindowRect(child, &rect);
    POINT corner{rect.left, rect.top};
    ScreenToClient(mainWindow, &corner);
    return POINT{point.x - corner.x, point.y - corner.y};
}

} // namespace

void UpdateMenuStates(HMENU menu)
{
    CheckItem(menu, IDM_SHOW_TOOLBAR, g_showToolbar != 0);
    CheckItem(menu, IDM_SHOW_STATUS_BAR, g_showStatusBar != 0);
    CheckItem(menu, IDM_LOWER_CASE, g_lowerCaseNames != 0);
    CheckItem(menu, IDM_SHOW_TOOL_TIPS, g_showToolTips != 0);
    CheckItem(menu, IDM_SAVE_ON_EXIT, g_saveSettingsOnExit != 0);
    CheckItem(menu, IDM_DISPLAY_VERSION, g_versionPaneShown);
    CheckItem(menu, IDM_QUICK_SCAN, g_quickScan != 0);
    CheckItem(menu, IDM_MODERN_LINKS, g_readModernLinks != 0);
    CheckItem(menu, IDM_SCAN_64_BIT, g_scan64Bit != 0);
    CheckItem(menu, IDM_RECYCLE, g_deleteToRecycleBin != 0);
    for (int command : kRuledCommands)
        EnableItem(menu, static_cast<UINT>(command));
}

// Separators, popup titles and the closing of the menu have no hint string.
void ShowMenuHint(WORD item)
{
    g_lastMenuItem = item;
    char hint[150] = {};
    int length = LoadStringA(g_instance, item, hint, sizeof hint - 1);
    if (length <= 0)
    {
        ShowIdleBanner();
        return;
    }
    std::strcat(hint, ".");
    SetStatusText(hint);
}

void HelpOnMenuItem(HWND mainWindow, WPARAM reason)
{
    if (reason == MSGF_MENU && GetKeyState(VK_F1) < 0)
        WinHelpA(mainWindow, HelpFile().c_str(), HELP_CONTEXT, g_lastMenuItem);
}

void ShowContextMenu(HWND mainWindow, LPARAM lParam)
{
    if (GetCount(g_resultList) == 0)
        return;
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    HWND child = ChildWindowFromPoint(mainWindow, point);
    HINSTANCE module;
    WORD menuId;
    if (child && child == g_resultListWindow)
    {
        module = g_instance;
        menuId = IDR_CONTEXT_MENU;
        // A right click makes the item under the pointer the only selected one and the
        // current one, as a left click would, so the menu acts on what was clicked.
        POINT inList = ToChildClient(mainWindow, child, point);
        SendMessageA(child, WM_LBUTTONDOWN, 0, MAKELPARAM(inList.x, inList.y));
        SendMessageA(child, WM_LBUTTONUP, 0, MAKELPARAM(inList.x, inList.y));
    }
    else if (child && child == g_versionListWindow)
    {
        module = QemGetInstHandle();
        menuId = g_versionPaneShown ? QEM_IDM_VERSION_PANE : QEM_IDM_VERSION_LIST;
    }
    else
        return;

    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(menuId));
    if (!menu)
        return;
    ClientToScreen(mainWindow, &point);
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTBUTTON, point.x, point.y, 0, mainWindow, nullptr);
    DestroyMenu(menu);
}
