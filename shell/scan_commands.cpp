#include <windows.h>

#include "engine/engine.h"
#include "engine/scan_state.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/feedback.h"
#include "shell/resources/resource.h"
#include "shell/shell.h"

namespace
{
// Start handlers on the stack. After Stop the scan returns only at its next test of
// the flag, and a Start dispatched from a pump step before then would run a new scan
// inside the old one, whose " Scanning interrupted." would then wipe the new answer.
int s_startDepth = 0;
// A Start that arrived while a stopped scan was unwinding: run once it has.
bool s_startPending = false;

// Once per installation, after a finished scan that met files whose import tables the
// ".idata" reading passed over: the list may hold DLLs those files use. Yes turns the
// reading of the import directories on for the scans to come; nothing is scanned again.
void OfferImportDirectories(HWND mainWindow, int finished)
{
    if (!finished || g_importTablesOutsideIdata == 0 || g_readImportDirectories ||
        WasImportDirectoriesOffered())
        return;
    RememberImportDirectoriesOffered();
    char text[400];
    wsprintfA(text,
              "%d examined files keep their import tables outside .idata, so this scan did not read "
              "their links and may list DLLs that they use.\n\nTurn on Read Import Directories for "
              "the next scans?",
              g_importTablesOutsideIdata);
    if (MessageBoxA(mainWindow, text, "Orvenna", MB_YESNO | MB_ICONQUESTION) == IDYES)
        g_readImportDirectories = 1;
}

} // namespace

void StartScan(HWND mainWindow)
{
    if (g_scanning)
        return;
    if (s_startDepth > 0)
    {
        s_startPending = true;
        return;
    }
    ++s_startDepth;
    HoldResultListDrawing(mainWindow);
    BeginScan();
    int finished = RunScan(mainWindow);
    ReportScanEnd(mainWindow, finished);
    EndScan();
    ReleaseResultListDrawing();
    OfferImportDirectories(mainWindow, finished);
    --s_startDepth;
    if (s_startPending)
    {
        s_startPending = false;
        PostMessageA(mainWindow, WM_COMMAND, IDM_START, 0);
    }
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
