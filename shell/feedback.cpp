#include "shell/feedback.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/list_box_mirror.h"
#include "engine/scan_state.h"
#include "shell/command_states.h"
#include "shell/resources/resource.h"

HWND g_mainWindow = nullptr;
FeedbackSink g_feedbackSink;

// Looking for a message costs more than examining a small file, and nobody sees a
// window answer faster than this: in the window, a step that comes sooner after the
// last look is free.
static constexpr DWORD kPumpIntervalMs = 10;

// The file being examined changes far faster than anyone can read, and every text set
// repaints the status bar at the next look for messages. Such progress texts are kept
// and shown by the pump step this often; any other text is shown at once.
static constexpr DWORD kProgressShowIntervalMs = 100;
static std::string s_pendingProgress;
static DWORD s_progressShown = 0;

static bool IsProgressText(const char* text)
{
    return !std::strncmp(text, kExaminingText, sizeof kExaminingText - 1) ||
           !std::strncmp(text, kCheckingLinksText, sizeof kCheckingLinksText - 1);
}

static void ShowStatusText(HWND statusBar, const char* text)
{
    SendMessageA(statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

static void ShowPendingProgress(DWORD now)
{
    if (s_pendingProgress.empty() || now - s_progressShown < kProgressShowIntervalMs)
        return;
    if (HWND statusBar = GetDlgItem(g_mainWindow, IDC_STATUS_BAR))
        ShowStatusText(statusBar, s_pendingProgress.c_str());
    else if (g_feedbackSink.statusText)
        g_feedbackSink.statusText(s_pendingProgress.c_str());
    s_pendingProgress.clear();
    s_progressShown = now;
}

// While a scan fills and empties the result list, the list box is not redrawn at
// every change (each one moves the caret and the scroll bar and repaints at once, which
// costs more than examining a file); the pump shows it as it stands this often. Drawing
// the visible items asks this platform's server a few hundred times, so they are drawn
// again only when what they show has changed: most changes of a long list fall outside
// its page, and then only the scroll bar moves.
static constexpr DWORD kListShowIntervalMs = 1000;
static HWND s_heldList = nullptr;
static DWORD s_listShown = 0;
static std::string s_shownPage;

// The list's top index and the text and selection mark of every item in its page. The
// texts come from the store, which the list box mirrors index for index.
static std::string VisiblePage(HWND list)
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

void HoldResultListDrawing(HWND mainWindow)
{
    s_heldList = mainWindow ? GetDlgItem(mainWindow, IDC_RESULT_LIST) : nullptr;
    if (s_heldList)
    {
        s_shownPage = VisiblePage(s_heldList);
        SendMessageA(s_heldList, WM_SETREDRAW, FALSE, 0);
        DeferListBoxMarks(g_resultList);
    }
    s_listShown = GetTickCount();
}

static void ShowHeldResultList()
{
    SettleListBoxMarks(g_resultList);
    // Turning drawing on brings the scroll bar up to date.
    SendMessageA(s_heldList, WM_SETREDRAW, TRUE, 0);
    std::string page = VisiblePage(s_heldList);
    if (page != s_shownPage)
    {
        InvalidateRect(s_heldList, nullptr, TRUE);
        UpdateWindow(s_heldList);
        s_shownPage = std::move(page);
    }
}

void ReleaseResultListDrawing()
{
    // Drawn by the message loop, after whatever waits: the summary line is up already.
    if (s_heldList)
    {
        EndListBoxMarksDeferral(g_resultList);
        SendMessageA(s_heldList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(s_heldList, nullptr, TRUE);
    }
    s_heldList = nullptr;
    s_shownPage.clear();
}

void PumpStep()
{
    if (!g_mainWindow && g_feedbackSink.pump)
    {
        g_feedbackSink.pump();
        return;
    }
    static DWORD lastLook = 0;
    const DWORD now = GetTickCount();
    if (g_mainWindow && now - lastLook < kPumpIntervalMs)
        return;
    lastLook = now;
    if (g_mainWindow)
        ShowPendingProgress(now);
    if (s_heldList && now - s_listShown >= kListShowIntervalMs)
    {
        ShowHeldResultList();
        SendMessageA(s_heldList, WM_SETREDRAW, FALSE, 0);
        s_listShown = now;
    }
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        return;
    // Whatever the message is, it may act on the current item.
    SettleListBoxMarks(g_resultList);
    RefreshToolbarStates();
    // No accelerator translation here: shortcuts stay dead while a scan pumps.
    if (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    else if (msg.message == WM_QUIT)
        PostQuitMessage(static_cast<int>(msg.wParam));
}

void SetStatusText(const char* text)
{
    // Finding the status bar is itself a call into the server on this platform.
    if (g_mainWindow && IsProgressText(text))
    {
        s_pendingProgress = text;
        return;
    }
    s_pendingProgress.clear();
    HWND statusBar = g_mainWindow ? GetDlgItem(g_mainWindow, IDC_STATUS_BAR) : nullptr;
    if (statusBar)
        ShowStatusText(statusBar, text);
    else if (g_feedbackSink.statusText)
        g_feedbackSink.statusText(text);
}

void SetStatusLineText(const char* text)
{
    HWND statusLine = g_mainWindow ? GetDlgItem(g_mainWindow, IDC_STATUS_LINE) : nullptr;
    if (statusLine)
        SetWindowTextA(statusLine, text);
    else if (g_feedbackSink.statusLineText)
        g_feedbackSink.statusLineText(text);
}

int AskErrorQuestion(HWND mainWindow)
{
    static const char text[] = "A system error has occurred. Continue?";
    static const char caption[] = "Error changing drives/directories";
    if (!mainWindow && g_feedbackSink.askContinue)
        return g_feedbackSink.askContinue(text, caption);
    return MessageBoxA(mainWindow, text, caption, MB_ICONQUESTION | MB_YESNO);
}

static void SetButtonState(HWND toolbar, int command, int state)
{
    LRESULT current = SendMessageA(toolbar, TB_GETSTATE, command, 0);
    if (current != -1 && (current & TBSTATE_PRESSED))
        state |= TBSTATE_PRESSED;
    SendMessageA(toolbar, TB_SETSTATE, command, MAKELPARAM(state, 0));
}

void SetToolbarButtonState(HWND mainWindow, int command, int state)
{
    if (HWND toolbar = mainWindow ? GetDlgItem(mainWindow, IDC_TOOLBAR) : nullptr)
        SetButtonState(toolbar, command, state);
}

void RefreshToolbarStates()
{
    // Finding a child is a call into the server on this platform: once, not per button.
    HWND toolbar = g_mainWindow ? GetDlgItem(g_mainWindow, IDC_TOOLBAR) : nullptr;
    if (!toolbar)
        return;
    const int count = GetCount(g_resultList);
    // Commands without a button are set too; the toolbar ignores them.
    for (int command :
         {IDM_START, IDM_STOP, IDM_SAVE_LIST, IDM_SELECT_ALL, IDM_SELECT_NONE, IDM_BACKUP, IDM_DELETE,
          IDM_DISPLAY_VERSION, IDM_CHECK_FUNCTION_CALLS, IDM_CHECK_LINKS, IDM_SET_FILTERS})
        SetButtonState(toolbar, command,
                       IsCommandEnabled(command, g_scanning != 0, count) ? TBSTATE_ENABLED
                                                                         : TBSTATE_INDETERMINATE);
}
