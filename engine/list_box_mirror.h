// A visible list box that mirrors a name list index for index: every insertion,
// removal and clearing of the store is made to the list box at the same index, and
// an entry the list box refuses leaves the store again (name_list.h). The
// list box moves each item's selection with the item; in a multiple-selection list
// box the mirror moves the caret (the current item) and the anchor as well, so that
// all three keep denoting the store's entries while the list changes.
#pragma once

#include <windows.h>

#include "engine/name_list.h"

// Fills listBox with the entries of list, in order, and makes it follow every later
// change. The list box must keep its strings (not owner-drawn without
// LBS_HASSTRINGS); LBS_SORT does not matter, since items are inserted by index.
// Gives 1, or -1 when the list box does not keep strings or refuses an entry, in
// which case it is left empty and detached.
int AttachListBox(NameList& list, HWND listBox);

// Stops the mirroring; the list box keeps what it shows.
void DetachListBox(NameList& list);

// Moving the caret makes the list box scroll to it, and back, and on this platform
// each scroll costs many times a change: during a long run of changes that nobody
// sees (a scan holding the list's drawing), the caret and the anchor are deferred.
// The mirror then keeps where they belong and moves them only when settled, which
// must come before anything reads or uses them (a user's click, a command). The
// entries, the count and the selection are mirrored at once all the same.
void DeferListBoxMarks(NameList& list);
// Moves the deferred caret and anchor where they belong; they stay deferred.
void SettleListBoxMarks(NameList& list);
// Settles the marks and mirrors them at every change again.
void EndListBoxMarksDeferral(NameList& list);
