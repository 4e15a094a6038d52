// When each command may run: one rule set for the menus' grey states, the shortcuts
// (which the menus gate) and the toolbar's buttons. Portable: no windows.h.
#pragma once

// Whether command is available while scanning is (or is not) under way and the result
// list holds listCount items. Commands without a rule are always available.
bool IsCommandEnabled(int command, bool scanning, int listCount);
