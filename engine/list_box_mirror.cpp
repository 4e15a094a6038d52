#include "engine/list_box_mirror.h"

namespace
{

LRESULT Send(HWND listBox, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageA(listBox, message, wParam, lParam);
}

HWND ListBoxOf(void* context)
{
    return static_cast<HWND>(context);
}

bool HasMultipleSelection(HWND listBox)
{
    return (GetWindowLongPtrA(listBox, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
}

// The list box moves each item's selection state with the item, but leaves the
// caret (the current item that LB_GETCURSEL gives in a multiple-selection list) and
// the anchor of Shift+click at their index. They are moved here, from where they
// were before the change, so that they keep denoting their entries.
struct Marks
{
    int caret;
    int anchor;
    int count;
};

Marks ReadMarks(HWND listBox)
{
    return Marks{static_cast<int>(Send(listBox, LB_GETCARETINDEX)),
                 static_cast<int>(Send(listBox, LB_GETANCHORINDEX)),
                 static_cast<int>(Send(listBox, LB_GETCOUNT))};
}

// Setting the caret scrolls it into view; the view stays where the user left it.
void MoveCaret(HWND listBox, int caret)
{
    LRESULT top = Send(listBox, LB_GETTOPINDEX);
    Send(listBox, LB_SETCARETINDEX, static_cast<WPARAM>(caret), FALSE);
    Send(listBox, LB_SETTOPINDEX, static_cast<WPARAM>(top));
}

void InsertIntoListBox(void* context, int index, const char* name)
{
    HWND listBox = ListBoxOf(context);
    bool multiple = HasMultipleSelection(listBox);
    Marks before = multiple ? ReadMarks(listBox) : Marks{-1, -1, 0};
    Send(listBox, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name));
    if (before.caret >= index && before.caret < before.count)
        MoveCaret(listBox, before.caret + 1);
    if (before.anchor >= index && before.anchor < before.count)
        Send(listBox, LB_SETANCHORINDEX, static_cast<WPARAM>(before.anchor + 1));
}

void RemoveFromListBox(void* context, int index)
{
    HWND listBox = ListBoxOf(context);
    bool multiple = HasMultipleSelection(listBox);
    Marks before = multiple ? ReadMarks(listBox) : Marks{-1, -1, 0};
    Send(listBox, LB_DELETESTRING, static_cast<WPARAM>(index));
    // A removed caret stays at its index, on the entry that moved up into its place.
    if (before.caret > index && before.caret < before.count)
        MoveCaret(listBox, before.caret - 1);
    if (before.anchor > index && before.anchor < before.count)
        Send(listBox, LB_SETANCHORINDEX, static_cast<WPARAM>(before.anchor - 1));
}

void EmptyListBox(void* context)
{
    Send(ListBoxOf(context), LB_RESETCONTENT);
}

// An owner-drawn list box without LBS_HASSTRINGS keeps the pointer it is given, not
// the text, and the store's texts move.
bool KeepsStrings(HWND listBox)
{
    LONG_PTR style = GetWindowLongPtrA(listBox, GWL_STYLE);
    return !(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (style & LBS_HASSTRINGS);
}

} // namespace

int AttachListBox(NameList& list, HWND listBox)
{
    DetachMirror(list);
    Send(listBox, LB_RESETCONTENT);
    if (!KeepsStrings(listBox))
        return -1;
    int count = GetCount(list);
    Send(listBox, LB_INITSTORAGE, static_cast<WPARAM>(count), static_cast<LPARAM>(count) * 48);
    for (int i = 0; i < count; ++i)
    {
        LRESULT at = Send(listBox, LB_INSERTSTRING, static_cast<WPARAM>(i),
                          reinterpret_cast<LPARAM>(NameAt(list, i).data()));
        if (at != i)
        {
            Send(listBox, LB_RESETCONTENT);
            return -1;
        }
    }
    AttachMirror(list, NameListMirror{listBox, InsertIntoListBox, RemoveFromListBox, EmptyListBox});
    return 1;
}

void DetachListBox(NameList& list)
{
    DetachMirror(list);
}
