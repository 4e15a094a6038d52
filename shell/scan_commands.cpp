#include <windows.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/shell.h"

namespace
{
// Start handlers on the stack. After Stop the scan returns only at its next test of
// the flag, and a command dispatched from a pump step before then runs inside it.
int s_startDepth = 0;

// What arrived while a stopped scan was unwinding, sent round again once it has.
struct WaitingMessage
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<WaitingMessage> s_waiting;

// A Start inside the old scan would run a new scan within it, whose answer the old
// one's " Scanning interrupted." would then wipe. Delete, Save List As, Backup and Set
// Filters would work on the lists the old scan is emptying, and a close would release
// the drawing objects it still uses.
bool WaitsForTheScan(UINT message, WPARAM wParam)
{
    if (message != WM_COMMAND)
        return message == WM_CLOSE;
    switch (LOWORD(wParam))
    {
    case IDM_START:
    case IDM_DELETE:
    case IDM_SAVE_LIST:
    case IDM_BACKUP:
    case IDM_SET_FILTERS: return true;
    default: return false;
    }
}

// Whether the scan about to start counts the links that cost reads of their own: only
// while the offer below is still to come.
bool CountsUnreadLinks()
{
    return !g_readModernLinks && !WasModernLinksOffered();
}

// Once per installation, after a finished scan whose reading passed over links that the
// modern reading follows: the list may hold DLLs in use. Yes turns the modern reading on
// for the scans to come; nothing is scanned again.
void OfferModernLinks(HWND mainWindow, int finished)
{
    if (!finished || !g_unreadLinks.Any() || g_readModernLinks || WasModernLinksOffered())
        return;
    RememberModernLinksOffered();
    // The scan is over: the toolbar says so while the question waits.
    RefreshToolbarStates();
    std::string text;
    for (const UnreadLinkNote& note : FormatUnreadLinkNotes(g_unreadLinks))
        text += note.text + ".\n";
    text += "\nThis scan may list DLLs that are in use. Turn on Read Modern Links for the next scans?";
    if (MessageBoxA(mainWindow, text.c_str(), "Orvenna", MB_YESNO | MB_ICONQUESTION) == IDYES)
        g_readModernLinks = 1;
}

// The same once per installation after a finished scan that left 64-bit DLLs out.
void OfferScan64Bit(HWND mainWindow, int finished)
{
    if (!finished || g_leftOut64BitDlls == 0 || g_scan64Bit || WasScan64BitOffered())
        return;
    RememberScan64BitOffered();
    RefreshToolbarStates();
    const std::string text = FormatLeftOut64BitCount(g_leftOut64BitDlls) +
                             ", so this scan neither listed them nor read their links.\n\n"
                             "Turn on Include 64-bit DLLs for the next scans?";
    if (MessageBoxA(mainWindow, text.c_str(), "Orvenna", MB_YESNO | MB_ICONQUESTION) == IDYES)
        g_scan64Bit = 1;
}
} // namespace

bool DeferWhileStoppedScanUnwinds(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_scanning || s_startDepth == 0 || !WaitsForTheScan(message, wParam))
        return false;
    s_waiting.push_back(WaitingMessage{message, wParam, lParam});
    return true;
}

void StartScan(HWND mainWindow)
{
    if (g_scanning)
        return;
    ++s_startDepth;
    HoldResultListDrawing(mainWindow);
    ScanInputs inputs = StoredScanInputs();
    inputs.countUnreadLinks = CountsUnreadLinks();
    BeginScan(inputs);
    int finished = RunScan(mainWindow);
    ReportScanEnd(mainWindow, finished);
    EndScan();
    ReleaseResultListDrawing();
    OfferModernLinks(mainWindow, finished);
    OfferScan64Bit(mainWindow, finished);
    --s_startDepth;
    for (const WaitingMessage& waiting : s_waiting)
        PostMessageA(mainWindow, waiting.message, waiting.wParam, waiting.lParam);
    s_waiting.clear();
}

// Normally dispatched from a pump step inside the scan: the scan returns 0 at its next
// test of the flag, and Start then reports the interruption.
void StopScan(HWND mainWindow)
{
    if (!g_scanning)
        return;
    EndScan();
    ShowIdleBanner();
    SetStatusLineText("");
    if (g_versionPaneShown)
        CloseVersionPane(mainWindow);
}
