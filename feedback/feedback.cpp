#include "feedback/feedback.h"

#include <commctrl.h>

#include <cstring>
#include <string>

HWND g_mainWindow = nullptr;
HWND g_statusBar = nullptr;
HWND g_statusLine = nullptr;
FeedbackSink g_feedbackSink;
PumpHooks g_pumpHooks;

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
           !std::strncmp(text, kCheckingLinksText, sizeof kCheckingLinksText - 1) ||
           !std::strncmp(text, kBackingUpText, sizeof kBackingUpText - 1);
}

static void ShowStatusText(HWND statusBar, const char* text)
{
    SendMessageA(statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

static void ShowPendingProgress(DWORD now)
{
    if (s_pendingProgress.empty() || now - s_progressShown < kProgressShowIntervalMs)
        return;
    if (g_statusBar)
        ShowStatusText(g_statusBar, s_pendingProgress.c_str());
    else if (g_feedbackSink.statusText)
        g_feedbackSink.statusText(s_pendingProgress.c_str());
    s_pendingProgress.clear();
    s_progressShown = now;
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
    if (g_pumpHooks.beforeLook)
        g_pumpHooks.beforeLook();
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        return;
    if (g_pumpHooks.beforeDispatch)
        g_pumpHooks.beforeDispatch();
    // No accelerator translation here: shortcuts stay dead while a scan pumps.
    if (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        RedirectionOn redirected;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    else if (msg.message == WM_QUIT)
        PostQuitMessage(static_cast<int>(msg.wParam));
}

void SetStatusText(const char* text)
{
    if (g_mainWindow && IsProgressText(text))
    {
        s_pendingProgress = text;
        return;
    }
    s_pendingProgress.clear();
    if (g_statusBar)
        ShowStatusText(g_statusBar, text);
    else if (g_feedbackSink.statusText)
        g_feedbackSink.statusText(text);
}

void SetStatusLineText(const char* text)
{
    if (g_statusLine)
        SetWindowTextA(g_statusLine, text);
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
