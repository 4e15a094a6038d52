#include <windows.h>

#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/shell.h"

// These take effect at their next use: the next file examined, the next tip, the close.
void ToggleQuickScan()
{
    g_quickScan ^= 1;
}

void ToggleModernLinks()
{
    g_readModernLinks ^= 1;
}

void ToggleScan64Bit()
{
    g_scan64Bit ^= 1;
}

void ToggleToolTips()
{
    g_showToolTips ^= 1;
}

void ToggleSaveOnExit()
{
    g_saveSettingsOnExit ^= 1;
}

void ToggleRecycleBin()
{
    g_deleteToRecycleBin ^= 1;
}

// The stored names keep their case; only the drawing changes.
void ToggleLowerCase()
{
    g_lowerCaseNames ^= 1;
    InvalidateRect(g_resultListWindow, nullptr, TRUE);
}

static void ShowBar(HWND mainWindow, int id, bool shown)
{
    ShowWindow(GetDlgItem(mainWindow, id), shown ? SW_SHOW : SW_HIDE);
    RelayoutMainWindow(mainWindow);
}

void ToggleToolbar(HWND mainWindow)
{
    g_showToolbar ^= 1;
    ShowBar(mainWindow, IDC_TOOLBAR, g_showToolbar != 0);
}

void ToggleStatusBar(HWND mainWindow)
{
    g_showStatusBar ^= 1;
    ShowBar(mainWindow, IDC_STATUS_BAR, g_showStatusBar != 0);
}
