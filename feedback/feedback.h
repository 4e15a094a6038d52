// Pump step and status feedback: how a long operation keeps the window alive and
// tells the user what it is doing. Every layer above calls these; they know nothing of
// the layers above them but what those hand in here. Every operation changes nothing
// while the windows it addresses do not exist, so the engine also runs without a
// window.
#pragma once

#include <windows.h>

// The windows; null until they are created (and always in the console scanner).
extern HWND g_mainWindow;
extern HWND g_statusBar;  // the common control status window, 589
extern HWND g_statusLine; // the static text 350

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

// What the window does at a pump step, filled in by the layers that make and fill it.
struct PumpHooks
{
    // At every look for a waiting message, before it.
    void (*beforeLook)() = nullptr;
    // Before a waiting message is handled: whatever it is may act on what the window
    // shows, or on its toolbar.
    void (*beforeDispatch)() = nullptr;
};
extern PumpHooks g_pumpHooks;

// redirection.cpp
// A 32-bit process on 64-bit Windows (WOW64) sees System32 redirected to SysWOW64.
bool RunsUnderWow64();
// While one lives, when wanted and under WOW64, this thread sees the file system as it
// is: the scan that includes 64-bit DLLs walks, examines and cross-checks so. One made
// while redirection is already off does nothing.
class RedirectionOff
{
public:
    explicit RedirectionOff(bool wanted);
    ~RedirectionOff();
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    bool turned_ = false;
};
// Redirection as it was before a RedirectionOff, while one lives: a message let through
// may do anything, and nothing but the scan is to see the file system unredirected.
class RedirectionOn
{
public:
    RedirectionOn();
    ~RedirectionOn();
    RedirectionOn(const RedirectionOn&) = delete;
    RedirectionOn& operator=(const RedirectionOn&) = delete;

private:
    bool turned_;
};

// feedback.cpp
// Lets at most one waiting message through, after the hooks.
void PumpStep();
// Status bar, part 0.
void SetStatusText(const char* text);
// The per-file progress texts of the status bar begin with these.
inline constexpr char kExaminingText[] = " Examining ";
inline constexpr char kCheckingLinksText[] = " Checking links in ";
inline constexpr char kBackingUpText[] = " Backing up ";
// The status line under the result list.
void SetStatusLineText(const char* text);
// "A system error has occurred. Continue?": IDYES or IDNO.
int AskErrorQuestion(HWND mainWindow);
