#include <windows.h>

#include <string>

#include "resources/resource.h"
#include "results/results.h"
#include "shell/shell.h"
#include "shell/start_options.h"

void HandleListKey(HWND mainWindow, WORD key)
{
    switch (key)
    {
    case VK_RETURN: PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_RESULT_LIST, LBN_DBLCLK), 0); break;
    case VK_TAB:
        // Without the pane there is only one list to go to.
        g_listFocusOnResults = g_versionPaneShown ? !g_listFocusOnResults : true;
        SetFocus(g_listFocusOnResults ? g_resultListWindow : g_versionListWindow);
        break;
    case VK_F1: ShowHelpContents(mainWindow); break;
    }
}

void HandleResultListNotice(HWND mainWindow, WORD code)
{
    if (code == LBN_SELCHANGE && g_versionPaneShown)
    {
        // The version list always describes the current file.
        LRESULT current = LB_ERR;
        std::string path;
        if (ReadCurrentResult(g_resultListWindow, current, path))
            ShowVersionInformation(g_versionListWindow, path);
    }
    else if (code == LBN_DBLCLK && !g_versionPaneShown)
        PostMessageA(mainWindow, WM_COMMAND, IDM_DISPLAY_VERSION, 0);
}

void SelectAllResults(bool select)
{
    SendMessageA(g_resultListWindow, LB_SETSEL, select ? TRUE : FALSE, -1);
}

// Display Version Information toggles the pane; marked shown, it closes whatever the
// state was.
void CloseVersionPaneByMenu(HWND mainWindow)
{
    g_versionPaneShown = true;
    PostMessageA(mainWindow, WM_COMMAND, IDM_DISPLAY_VERSION, 0);
}

void ResetResultListExtent()
{
    SendMessageA(g_resultListWindow, LB_SETHORIZONTALEXTENT, 0, 0);
}

void AcceptCommandLine(HWND mainWindow, const char* line)
{
    // Posted, so that the scan begins from the message loop once the window shows.
    if (IsScanCommandLine(line))
        PostMessageA(mainWindow, WM_COMMAND, IDM_START, 0);
}
