// The result list while a scan fills and empties it.
#include <windows.h>

#include <algorithm>
#include <string>

#include "engine/list_box_mirror.h"
#include "engine/scan_state.h"
#include "results/results.h"

namespace
{

// While a scan fills and empties the result list, the list box is not redrawn at
// every change (each one moves the caret and the scroll bar and repaints at once, which
// costs more than examining a file); the pump shows it as it stands this often. Drawing
// the visible items asks this platform's server a few hundred times, so they are drawn
// again only when what they show has changed: most changes of a long list fall outside
// its page, and then only the scroll bar moves.
constexpr DWORD kListShowIntervalMs = 1000;
HWND s_heldList = nullptr;
WNDPROC s_listProc = nullptr;
DWORD s_listShown = 0;
std::string s_shownPage;

// The list's top index and the text and selection mark of every item in its page. The
// texts come from the store, which the list box mirrors index for index.
std::string VisiblePage(HWND list)
{
    const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
    const LRESULT itemHeight = SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
    RECT client{};
    GetClientRect(list, &client);
    if (top == LB_ERR || itemHeight <= 0)
        return {};
    const int first = static_cast<int>(top);
    const int last =
        std::min(GetCount(g_resultList),
                 first + static_cast<int>((client.bottom - client.top + itemHeight - 1) / itemHeight));
    // Neither mark can be part of a file name.
    std::string page = std::to_string(first);
    for (int i = first; i < last; ++i)
    {
        page += SendMessageA(list, LB_GETSEL, i, 0) > 0 ? '*' : '|';
        page += NameAt(g_resultList, i);
    }
    return page;
}

// A list box held from drawing paints nothing when it is asked to repaint, and leaves
// its area empty: whatever asks (a window moved off it, the window restored, Show
// Lowercase File Names) has it painted at once, with drawing on for the while.
LRESULT CALLBACK HeldListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return CallWindowProcA(s_listProc, list, message, wParam, lParam);
    CallWindowProcA(s_listProc, list, WM_SETREDRAW, TRUE, 0);
    const LRESULT result = CallWindowProcA(s_listProc, list, WM_PAINT, wParam, lParam);
    CallWindowProcA(s_listProc, list, WM_SETREDRAW, FALSE, 0);
    s_shownPage = VisiblePage(list);
    return result;
}

void ShowHeldResultList()
{
    SettleListBoxMarks(g_resultList);
    // Turning drawing on brings the scroll bar up to date.
    SendMessageA(s_heldList, WM_SETREDRAW, TRUE, 0);
    std::string page = VisiblePage(s_heldList);
    if (page != s_shownPage)
    {
        InvalidateRect(s_heldList, nullptr, TRUE);
        UpdateWindow(s_heldList);
    }
    SendMessageA(s_heldList, WM_SETREDRAW, FALSE, 0);
}

} // namespace

void HoldResultListDrawing(HWND mainWindow)
{
    s_heldList = mainWindow ? g_resultListWindow : nullptr;
    if (s_heldList)
    {
        s_shownPage = VisiblePage(s_heldList);
        SendMessageA(s_heldList, WM_SETREDRAW, FALSE, 0);
        s_listProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(s_heldList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HeldListProc)));
        DeferListBoxMarks(g_resultList);
    }
    s_listShown = GetTickCount();
}

void ShowHeldResultListWhenDue()
{
    const DWORD now = GetTickCount();
    if (!s_heldList || now - s_listShown < kListShowIntervalMs)
        return;
    ShowHeldResultList();
    s_listShown = now;
}

void ReleaseResultListDrawing()
{
    // Drawn by the message loop, after whatever waits: the summary line is up already.
    if (s_heldList)
    {
        SetWindowLongPtrA(s_heldList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_listProc));
        EndListBoxMarksDeferral(g_resultList);
        SendMessageA(s_heldList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(s_heldList, nullptr, TRUE);
    }
    s_heldList = nullptr;
    s_shownPage.clear();
}
