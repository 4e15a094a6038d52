// The order of a sorted list box (LBS_SORT) for a name list that a user sees: the
// locale's collation without regard to case, as CompareString with NORM_IGNORECASE
// gives it, which no table of bytes reproduces (a '-' or an apostrophe, for one,
// counts only where the letters are equal).
#pragma once

#include <windows.h>

#include "engine/name_list.h"

// Orders list, from now on, as a sorted list box of locale orders the same texts.
void OrderAsSortedListBox(NameList& list, LCID locale);
