#include <windows.h>

#include <commctrl.h>

#include "engine/scan_state.h"
#include "resources/resource.h"
#include "shell/command_states.h"
#include "shell/shell.h"

static void SetButtonState(HWND toolbar, int command, int state)
{
    LRESULT current = SendMessageA(toolbar, TB_GETSTATE, command, 0);
    if (current != -1 && (current & TBSTATE_PRESSED))
        state |= TBSTATE_PRESSED;
    SendMessageA(toolbar, TB_SETSTATE, command, MAKELPARAM(state, 0));
}

void RefreshToolbarStates()
{
    // Finding a child is a call into the server on this platform: once, not per button.
    HWND toolbar = g_mainWindow ? GetDlgItem(g_mainWindow, IDC_TOOLBAR) : nullptr;
    if (!toolbar)
        return;
    const int count = GetCount(g_resultList);
    // Commands without a button are set too; the toolbar ignores them.
    for (int command : kRuledCommands)
        SetButtonState(toolbar, command,
                       IsCommandEnabled(command, g_scanning != 0, count) ? TBSTATE_ENABLED
                                                                         : TBSTATE_INDETERMINATE);
}
