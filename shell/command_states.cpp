#include "shell/command_states.h"

#include "resources/resource.h"

bool IsCommandEnabled(int command, bool scanning, int listCount)
{
    const bool empty = listCount == 0;
    switch (command)
    {
    case IDM_START:
    case IDM_SET_FILTERS: return !scanning;
    case IDM_STOP: return scanning;
    // Actions that change files or the list, or write it out, wait for a finished scan.
    case IDM_SAVE_LIST:
    case IDM_SELECT_ALL:
    case IDM_SELECT_NONE:
    case IDM_BACKUP:
    case IDM_DELETE: return !empty && !scanning;
    // Only reading the current file: fine while a scan runs, once there is one.
    case IDM_DISPLAY_VERSION:
    case IDM_CHECK_FUNCTION_CALLS:
    case IDM_CHECK_LINKS: return !empty;
    default: return true;
    }
}
