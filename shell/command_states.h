// When each command may run: one rule set for the menus' grey states, the shortcuts
// (which the menus gate) and the toolbar's buttons. Portable: no windows.h.
#pragma once

#include "resources/resource.h"

// The commands with a rule, which the menus and the toolbar grey by it.
inline constexpr int kRuledCommands[] = {
    IDM_START,      IDM_STOP,   IDM_SAVE_LIST,       IDM_SELECT_ALL,           IDM_SELECT_NONE,
    IDM_BACKUP,     IDM_DELETE, IDM_DISPLAY_VERSION, IDM_CHECK_FUNCTION_CALLS, IDM_CHECK_LINKS,
    IDM_SET_FILTERS};

// Whether command is available while scanning is (or is not) under way and the result
// list holds listCount items. Commands without a rule are always available.
bool IsCommandEnabled(int command, bool scanning, int listCount);
