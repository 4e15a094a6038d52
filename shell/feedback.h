// Pump step and status feedback: how a long operation keeps the window alive and
// tells the user what it is doing. Every operation changes nothing while the
// windows it addresses do not exist, so the engine also runs without a window.
#pragma once

#include <windows.h>

// The main window; null until it is created (and always in the console scanner).
extern HWND g_mainWindow;

// Where the texts go when there is no window: the console scanner fills this in.
struct FeedbackSink
{
    void (*statusText)(const char* text) = nullptr;
    void (*statusLineText)(const char* text) = nullptr;
    // The error question's answer, IDYES or IDNO.
    int (*askContinue)(const char* text, const char* caption) = nullptr;
    // Stands in for the message queue in the pump step: where a stop request from
    // outside (Ctrl+C) is carried out on the scan's own thread.
    void (*pump)() = nullptr;
};
extern FeedbackSink g_feedbackSink;

// Lets at most one waiting message through, after refreshing the toolbar.
void PumpStep();
// Around a scan in the window: the result list is shown only by the pump step, once a
// second (its items drawn again only when its page changed), and by the message loop
// when the scan ends; its caret and anchor are moved only before a message is handled.
void HoldResultListDrawing(HWND mainWindow);
void ReleaseResultListDrawing();
// Status bar, part 0.
void SetStatusText(const char* text);
// The per-file progress texts of the status bar begin with these.
inline constexpr char kExaminingText[] = " Examining ";
inline constexpr char kCheckingLinksText[] = " Checking links in ";
// The status line under the result list.
void SetStatusLineText(const char* text);
void SetToolbarButtonState(HWND mainWindow, int command, int state);
void RefreshToolbarStates();
// "A system error has occurred. Continue?": IDYES or IDNO.
int AskErrorQuestion(HWND mainWindow);
