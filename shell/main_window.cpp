#include <windows.h>

#include <commctrl.h>

#include "engine/list_box_mirror.h"
#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/shell.h"

namespace
{

// Whatever a message that a scan lets through does may act on the result list's
// current item, and the toolbar shows what may be done at that moment.
void BeforePumpedMessage()
{
    SettleListBoxMarks(g_resultList);
    RefreshToolbarStates();
}

// The window as the pump step and the status texts see it: gone.
void ForgetWindows()
{
    DetachListBox(g_resultList);
    g_mainWindow = g_statusBar = g_statusLine = nullptr;
    g_pumpHooks = PumpHooks{};
}

// Children first, then the drawing objects and the preferences: the bars are hidden
// at once when their preference is off; the first layout comes with the first WM_SIZE.
LRESULT OnCreate(HWND window)
{
    g_mainWindow = window;
    g_pumpHooks = PumpHooks{ShowHeldResultListWhenDue, BeforePumpedMessage};
    g_interfaceFont.Reset(CreateInterfaceFont());
    if (!CreateChildWindows(window))
    {
        QemError(QEM_ERR_CHILD_WINDOWS);
        ForgetWindows();
        return -1;
    }
    g_backgroundBitmap.Reset(LoadBitmapA(g_instance, MAKEINTRESOURCEA(IDB_BACKGROUND)));
    g_backgroundBrush.Reset(g_backgroundBitmap ? CreatePatternBrush(g_backgroundBitmap.Get()) : nullptr);
    g_lastMenuItem = 0;
    g_versionPaneShown = false;
    g_listFocusOnResults = true;
    g_scanning = 0;

    LoadPreferences();
    if (!g_showToolbar)
        ShowWindow(GetDlgItem(window, IDC_TOOLBAR), SW_HIDE);
    if (!g_showStatusBar)
        ShowWindow(GetDlgItem(window, IDC_STATUS_BAR), SW_HIDE);
    return 0;
}

void OnSize(HWND window, LPARAM size)
{
    LayoutChildren(window, LOWORD(size), HIWORD(size));
    InvalidateRect(g_resultListWindow, nullptr, TRUE);
    InvalidateRect(GetDlgItem(window, IDC_STATUS_LINE), nullptr, TRUE);
    InvalidateRect(g_versionListWindow, nullptr, TRUE);
    InvalidateRect(window, nullptr, TRUE);
}

// Refused during a scan: the scan runs inside this window's own message handling.
LRESULT OnClose(HWND window)
{
    if (g_scanning)
    {
        QemInfo(QEM_INFO_NO_CLOSE_SCANNING);
        return 1;
    }
    WinHelpA(window, HelpFile().c_str(), HELP_QUIT, 0);
    DeleteFileA(kWinZipListPath);
    ReleaseDrawingObjects();
    if (g_saveSettingsOnExit)
        SavePreferences(window);
    // The window stays until the process ends; the message loop ends here.
    PostQuitMessage(0);
    return 0;
}

// Not part of a normal run, which ends with the process; a window destroyed before
// (by a test, say) must leave no list box behind for the result store to mirror into.
void OnDestroy(HWND window)
{
    ReleaseDrawingObjects();
    g_resultListWindow = g_versionListWindow = nullptr;
    if (g_mainWindow == window)
        ForgetWindows();
    else
        DetachListBox(g_resultList);
}

void OnDrawItem(const DRAWITEMSTRUCT& item)
{
    // A result item is drawn whole at a change of focus too: its focus rectangle shows
    // which file the version pane and the companion tools act on.
    if (item.itemAction != ODA_DRAWENTIRE && item.itemAction != ODA_SELECT && item.CtlID != IDC_RESULT_LIST)
        return;
    if (item.CtlID == IDC_VERSION_LIST && g_versionPaneShown)
        QemDrawVerListBox(&item);
    else
        DrawResultItem(item);
}

// Sent while each owner-drawn list is being created, before its handle is known: the
// screen's device context and its default font.
void OnMeasureItem(MEASUREITEMSTRUCT& item)
{
    WindowDC dc(nullptr);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc.Get(), &metrics);
    item.itemHeight = static_cast<UINT>(metrics.tmHeight + 2);
}

// The lists are light grey; the background colour matters where a list box fills
// without the brush (the focus mark of an empty list).
LRESULT OnListColour(HDC dc)
{
    SetBkColor(dc, RGB(192, 192, 192));
    return reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH));
}

void OnNotify(NMHDR* header)
{
    if (header->code == TTN_NEEDTEXTA || header->code == TTN_NEEDTEXTW)
        SupplyToolTipText(header);
}

// One line per command; the commands of the file actions and the Filters dialog join
// this dispatch with their own operations.
bool OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam))
    {
    case IDM_START: StartScan(window); break;
    case IDM_STOP: StopScan(window); break;
    case IDM_DISPLAY_VERSION: ToggleVersionPane(window); break;
    case IDM_CHECK_FUNCTION_CALLS: CheckFunctionCalls(window); break;
    case IDM_CHECK_LINKS: CheckLinksToOtherModules(window); break;
    case IDM_SET_FILTERS: SetFilters(window); break;
    case IDM_BACKUP: BackupSelectedFiles(window); break;
    case IDM_SAVE_LIST: SaveListAs(window); break;
    case IDM_DELETE: DeleteSelectedFiles(window); break;
    case IDM_EXIT: PostMessageA(window, WM_CLOSE, 0, 0); break;
    case IDM_SELECT_ALL: SelectAllResults(true); break;
    case IDM_SELECT_NONE: SelectAllResults(false); break;
    case IDM_QUICK_SCAN: ToggleQuickScan(); break;
    case IDM_MODERN_LINKS: ToggleModernLinks(); break;
    case IDM_SCAN_64_BIT: ToggleScan64Bit(); break;
    case IDM_LOWER_CASE: ToggleLowerCase(); break;
    case IDM_SHOW_TOOL_TIPS: ToggleToolTips(); break;
    case IDM_SHOW_TOOLBAR: ToggleToolbar(window); break;
    case IDM_SHOW_STATUS_BAR: ToggleStatusBar(window); break;
    case IDM_RECYCLE: ToggleRecycleBin(); break;
    case IDM_SAVE_NOW: SavePreferences(window); break;
    case IDM_SAVE_ON_EXIT: ToggleSaveOnExit(); break;
    case IDM_HELP_CONTENTS: ShowHelpContents(window); break;
    case IDM_HELP_SEARCH: SearchHelp(window); break;
    case IDM_HELP_ON_HELP: ShowHelpOnHelp(window); break;
    case IDM_ABOUT: ShowAboutBox(window); break;
    case IDC_RESULT_LIST: HandleResultListNotice(window, HIWORD(wParam)); break;
    case IDM_CLOSE_VERSION: CloseVersionPaneByMenu(window); break;
    case IDM_RESET_EXTENT: ResetResultListExtent(); break;
    case IDM_COMMAND_LINE: AcceptCommandLine(window, reinterpret_cast<const char*>(lParam)); break;
    case IDM_CONTEXT_MENU: ShowContextMenu(window, lParam); break;
    default: return false;
    }
    return true;
}

} // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE: OnSize(window, lParam); return 0;
    case WM_GETMINMAXINFO: LimitTrackingSize(window, *reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_PAINT: PaintMainWindow(window); return 0;
    case WM_SETFOCUS:
        if (reinterpret_cast<HWND>(wParam) == window)
            break;
        SetFocus(g_resultListWindow);
        return 0;
    case WM_INITMENUPOPUP: UpdateMenuStates(reinterpret_cast<HMENU>(wParam)); return 0;
    case WM_MENUSELECT: ShowMenuHint(LOWORD(wParam)); return 0;
    case WM_ENTERIDLE: HelpOnMenuItem(window, wParam); break;
    case WM_VKEYTOITEM: HandleListKey(window, LOWORD(wParam)); break;
    case WM_DRAWITEM: OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_MEASUREITEM: OnMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)); return 0;
    case WM_CTLCOLORLISTBOX: return OnListColour(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC: return reinterpret_cast<LRESULT>(ColourStaticText(reinterpret_cast<HDC>(wParam)));
    case WM_NOTIFY: OnNotify(reinterpret_cast<NMHDR*>(lParam)); return 0;
    case WM_PARENTNOTIFY:
        if (LOWORD(wParam) != WM_RBUTTONDOWN)
            break;
        PostMessageA(window, WM_COMMAND, IDM_CONTEXT_MENU, lParam);
        return 0;
    case WM_COMMAND:
        if (DeferWhileStoppedScanUnwinds(message, wParam, lParam) || OnCommand(window, wParam, lParam))
            return 0;
        break;
    case WM_CLOSE: return DeferWhileStoppedScanUnwinds(message, wParam, lParam) ? 0 : OnClose(window);
    case WM_DESTROY: OnDestroy(window); break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
