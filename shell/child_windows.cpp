#include <windows.h>

#include <algorithm>

#include <commctrl.h>

#include <string>

#include "engine/list_box_mirror.h"
#include "engine/name_collation.h"
#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/layout.h"
#include "shell/shell.h"

namespace
{

constexpr DWORD kResultListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
                                   LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT |
                                   LBS_EXTENDEDSEL;
constexpr DWORD kVersionListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY |
                                    LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT |
                                    LBS_WANTKEYBOARDINPUT;
constexpr DWORD kStatusLineStyle = WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP;

// Image, command, state, style of each toolbar position. The buttons that need a
// finished scan or a list start grey (indeterminate and not enabled).
constexpr TBBUTTON Button(int image, int command, BYTE state, BYTE style)
{
    TBBUTTON button{};
    button.iBitmap = image;
    button.idCommand = command;
    button.fsState = state;
    button.fsStyle = style;
    return button;
}
constexpr BYTE kOn = TBSTATE_ENABLED, kGrey = TBSTATE_INDETERMINATE;
constexpr BYTE kButton = TBSTYLE_BUTTON, kSeparator = TBSTYLE_SEP;
constexpr TBBUTTON kToolbarButtons[] = {
    Button(0, 0, kOn, kSeparator),
    Button(0, IDM_START, kOn, kButton),
    Button(1, IDM_STOP, kGrey, kButton),
    Button(2, IDM_SAVE_LIST, kGrey, kButton),
    Button(0, 0, kOn, kSeparator),
    Button(3, IDM_CHECK_FUNCTION_CALLS, kGrey, kButton),
    Button(4, IDM_CHECK_LINKS, kGrey, kButton),
    Button(5, IDM_SET_FILTERS, kOn, kButton),
    Button(0, 0, kOn, kSeparator),
    Button(6, IDM_EXIT, kOn, kButton),
    Button(7, IDM_HELP_CONTENTS, kOn, kButton),
};
constexpr int kToolbarImages = 8;
constexpr int kToolbarImageSize = 16;

HWND CreateChild(HWND mainWindow, const char* className, DWORD style, int id)
{
    return CreateWindowExA(0, className, "", style, 0, 0, 0, 0, mainWindow,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
}

void SetInterfaceFont(HWND child, BOOL redraw)
{
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_interfaceFont.Get()), redraw);
}

HWND CreateToolbar(HWND mainWindow)
{
    return CreateToolbarEx(mainWindow, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, IDC_TOOLBAR, kToolbarImages,
                           g_instance, IDB_TOOLBAR, kToolbarButtons, ARRAYSIZE(kToolbarButtons), 0, 0,
                           kToolbarImageSize, kToolbarImageSize, sizeof(TBBUTTON));
}

HWND CreateStatusBar(HWND mainWindow)
{
    char banner[150] = {};
    LoadStringA(g_instance, IDS_IDLE_BANNER, banner, sizeof banner);
    HWND statusBar =
        CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_BORDER, banner, mainWindow, IDC_STATUS_BAR);
    if (!statusBar)
        return nullptr;
    g_statusBar = statusBar;
    int rightEdges[1] = {-1};
    SendMessageA(statusBar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(rightEdges));
    SendMessageA(statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(banner));
    SetInterfaceFont(statusBar, TRUE);
    return statusBar;
}

// The result list shows the result store index for index; it is made without
// LBS_SORT, since the store keeps the order: the one a sorted list box gives.
HWND CreateResultList(HWND mainWindow)
{
    HWND list = CreateChild(mainWindow, "LISTBOX", kResultListStyle, IDC_RESULT_LIST);
    if (!list)
        return nullptr;
    SetInterfaceFont(list, FALSE);
    OrderAsSortedListBox(g_resultList, static_cast<LCID>(SendMessageA(list, LB_GETLOCALE, 0, 0)));
    if (AttachListBox(g_resultList, list) != 1)
    {
        DestroyWindow(list);
        return nullptr;
    }
    return list;
}

HWND CreateVersionList(HWND mainWindow)
{
    HWND list = CreateChild(mainWindow, "LISTBOX", kVersionListStyle, IDC_VERSION_LIST);
    if (list)
        SetInterfaceFont(list, FALSE);
    return list;
}

HWND CreateStatusLine(HWND mainWindow)
{
    HWND line = CreateChild(mainWindow, "STATIC", kStatusLineStyle, IDC_STATUS_LINE);
    if (line)
        SetInterfaceFont(line, FALSE);
    g_statusLine = line;
    return line;
}

// tmHeight of the default font: a plain device context of the status line, which has
// not selected the interface font.
int DefaultTextHeight(HWND statusLine)
{
    WindowDC dc(statusLine);
    TEXTMETRICA metrics{};
    if (!dc.Get() || !GetTextMetricsA(dc.Get(), &metrics))
        return 0;
    return metrics.tmHeight;
}

void Place(HWND child, const ChildPlace& place)
{
    if (child)
        MoveWindow(child, place.x, place.y, place.width, place.height, TRUE);
}

} // namespace

HFONT CreateInterfaceFont()
{
    HFONT font = CreateFontA(15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "Arial");
    // A system without Arial gets the old dialog face at the same size.
    if (!font)
        font = CreateFontA(15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "MS Sans Serif");
    return font;
}

// The four hidden name lists are stores of their own (scan_state.h): no windows.
int CreateChildWindows(HWND mainWindow)
{
    InitCommonControls();
    if (!CreateToolbar(mainWindow) || !CreateStatusBar(mainWindow))
        return 0;
    g_resultListWindow = CreateResultList(mainWindow);
    if (!g_resultListWindow)
        return 0;
    g_versionListWindow = CreateVersionList(mainWindow);
    if (!g_versionListWindow || !CreateStatusLine(mainWindow))
        return 0;
    UpdateWindow(mainWindow);
    return 1;
}

static LayoutInput CurrentLayoutInput(HWND mainWindow, int width, int height)
{
    LayoutInput input;
    input.clientWidth = width;
    input.clientHeight = height;
    input.textHeight = DefaultTextHeight(GetDlgItem(mainWindow, IDC_STATUS_LINE));
    input.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    input.toolbar = g_showToolbar != 0;
    input.statusBar = g_showStatusBar != 0;
    input.versionPane = g_versionPaneShown;
    return input;
}

void LayoutChildren(HWND mainWindow, int width, int height)
{
    const MainLayout layout = ComputeLayout(CurrentLayoutInput(mainWindow, width, height));

    Place(GetDlgItem(mainWindow, IDC_TOOLBAR), layout.toolbar);
    Place(GetDlgItem(mainWindow, IDC_STATUS_BAR), layout.statusBar);
    Place(GetDlgItem(mainWindow, IDC_STATUS_LINE), layout.statusLine);
    Place(g_resultListWindow, layout.resultList);
    // Without the pane the version list keeps its place: hidden, or of zero size.
    if (g_versionPaneShown)
        Place(g_versionListWindow, layout.versionList);
}

void LimitTrackingSize(HWND mainWindow, MINMAXINFO& info)
{
    // Asked before the children exist, too: then there is nothing to keep in view.
    HMENU menu = GetMenu(mainWindow);
    if (!menu || !GetDlgItem(mainWindow, IDC_STATUS_LINE))
        return;
    int menuWidth = 0;
    for (int i = 0; i < GetMenuItemCount(menu); i++)
    {
        RECT item;
        if (GetMenuItemRect(mainWindow, menu, static_cast<UINT>(i), &item))
            menuWidth += item.right - item.left;
    }
    // A few pixels spare: the bar wraps an item that only just fits.
    RECT frame = {0, 0, menuWidth + 2 * kChildMargin,
                  MinimumClientHeight(CurrentLayoutInput(mainWindow, 0, 0))};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(mainWindow, GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongPtrA(mainWindow, GWL_EXSTYLE)));
    info.ptMinTrackSize.x = std::max<LONG>(info.ptMinTrackSize.x, frame.right - frame.left);
    info.ptMinTrackSize.y = std::max<LONG>(info.ptMinTrackSize.y, frame.bottom - frame.top);
}

void RelayoutMainWindow(HWND mainWindow)
{
    RECT client;
    GetClientRect(mainWindow, &client);
    SendMessageA(mainWindow, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
}

void CloseVersionPane(HWND mainWindow)
{
    g_versionPaneShown = false;
    SendMessageA(g_versionListWindow, LB_RESETCONTENT, 0, 0);
    SendMessageA(g_versionListWindow, LB_SETHORIZONTALEXTENT, 0, 0);
    ShowWindow(g_versionListWindow, SW_HIDE);
    RelayoutMainWindow(mainWindow);
}

// Closing only hides the version list: its contents stay until the next opening.
void ToggleVersionPane(HWND mainWindow)
{
    LRESULT current = LB_ERR;
    std::string path;
    const bool hasCurrent = ReadCurrentResult(g_resultListWindow, current, path);

    g_versionPaneShown = !g_versionPaneShown;
    if (g_versionPaneShown)
    {
        if (hasCurrent)
            ShowVersionRecord(g_versionListWindow, path);
        else
        {
            QemInfo(QEM_INFO_NO_CURRENT_FILE);
            g_versionPaneShown = false;
        }
    }
    ShowWindow(g_versionListWindow, g_versionPaneShown ? SW_SHOW : SW_HIDE);
    RelayoutMainWindow(mainWindow);
    // Only now has the pane the width its last line is fitted to.
    if (g_versionPaneShown)
        AddLinkedFromLine(g_versionListWindow, path);
    if (current != LB_ERR)
        SendMessageA(g_resultListWindow, LB_SETTOPINDEX, static_cast<WPARAM>(current), 0);
    SetFocus(g_resultListWindow);
}

// The tip is the command's hint without the full stop the status bar adds. It is
// written into the record's own buffer, which outlives this handler.
void SupplyToolTipText(NMHDR* header)
{
    const UINT command = static_cast<UINT>(header->idFrom);
    if (header->code == TTN_NEEDTEXTA)
    {
        auto* tip = reinterpret_cast<NMTTDISPINFOA*>(header);
        tip->hinst = nullptr;
        tip->szText[0] = '\0';
        tip->lpszText = nullptr;
        if (g_showToolTips && LoadStringA(g_instance, command, tip->szText, ARRAYSIZE(tip->szText)) > 0)
            tip->lpszText = tip->szText;
        return;
    }
    auto* tip = reinterpret_cast<NMTTDISPINFOW*>(header);
    tip->hinst = nullptr;
    tip->szText[0] = L'\0';
    tip->lpszText = nullptr;
    char text[ARRAYSIZE(tip->szText)];
    if (g_showToolTips && LoadStringA(g_instance, command, text, sizeof text) > 0 &&
        MultiByteToWideChar(CP_ACP, 0, text, -1, tip->szText, ARRAYSIZE(tip->szText)) > 0)
        tip->lpszText = tip->szText;
}
