#include "engine/list_box_mirror.h"

#include <map>
#include <memory>

namespace
{

LRESULT Send(HWND listBox, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageA(listBox, message, wParam, lParam);
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

// What the mirror keeps of an attached list box. While its marks are deferred, marks
// holds where they belong once known is set; the list box's own may lag behind.
struct Mirrored
{
    HWND listBox;
    bool deferred = false;
    bool known = false;
    Marks marks{-1, -1, 0};
};

std::map<const NameList*, std::unique_ptr<Mirrored>> s_mirrored;

Mirrored& MirroredOf(void* context)
{
    return *static_cast<Mirrored*>(context);
}

Mirrored* FindMirrored(const NameList& list)
{
    auto found = s_mirrored.find(&list);
    return found == s_mirrored.end() ? nullptr : found->second.get();
}

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

// The marks before a change: read from the list box, or while deferred as the mirror
// last left them.
Marks MarksBefore(Mirrored& mirrored)
{
    if (!mirrored.deferred)
        return ReadMarks(mirrored.listBox);
    if (!mirrored.known)
    {
        mirrored.marks = ReadMarks(mirrored.listBox);
        mirrored.known = true;
    }
    return mirrored.marks;
}

void PlaceMarks(HWND listBox, const Marks& current, const Marks& wanted)
{
    if (wanted.caret != current.caret)
        MoveCaret(listBox, wanted.caret);
    if (wanted.anchor != current.anchor)
        Send(listBox, LB_SETANCHORINDEX, static_cast<WPARAM>(wanted.anchor));
}

void AfterChange(Mirrored& mirrored, const Marks& before, const Marks& after)
{
    if (mirrored.deferred)
        mirrored.marks = after;
    else
        PlaceMarks(mirrored.listBox, before, after);
}

// A list box that is out of memory, or full (a Windows 95 list box takes 32,767
// items), refuses the entry: then nothing moved.
bool InsertIntoListBox(void* context, int index, const char* name)
{
    Mirrored& mirrored = MirroredOf(context);
    const bool multiple = HasMultipleSelection(mirrored.listBox);
    Marks before = multiple ? MarksBefore(mirrored) : Marks{-1, -1, 0};
    if (Send(mirrored.listBox, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name)) !=
        index)
        return false;
    if (!multiple)
        return true;
    Marks after{before.caret, before.anchor, before.count + 1};
    if (before.caret >= index && before.caret < before.count)
        after.caret = before.caret + 1;
    if (before.anchor >= index && before.anchor < before.count)
        after.anchor = before.anchor + 1;
    AfterChange(mirrored, before, after);
    return true;
}

// Refused only when the list box has no such item: it no longer shows the store.
bool RemoveFromListBox(void* context, int index)
{
    Mirrored& mirrored = MirroredOf(context);
    const bool multiple = HasMultipleSelection(mirrored.listBox);
    Marks before = multiple ? MarksBefore(mirrored) : Marks{-1, -1, 0};
    if (Send(mirrored.listBox, LB_DELETESTRING, static_cast<WPARAM>(index)) == LB_ERR)
        return false;
    if (!multiple)
        return true;
    Marks after{before.caret, before.anchor, before.count - 1};
    // A removed caret stays at its index, on the entry that moved up into its place.
    if (before.caret > index && before.caret < before.count)
        after.caret = before.caret - 1;
    if (before.anchor > index && before.anchor < before.count)
        after.anchor = before.anchor - 1;
    AfterChange(mirrored, before, after);
    return true;
}

void EmptyListBox(void* context)
{
    Mirrored& mirrored = MirroredOf(context);
    Send(mirrored.listBox, LB_RESETCONTENT);
    mirrored.known = false;
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
    DetachListBox(list);
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
    auto mirrored = std::make_unique<Mirrored>(Mirrored{listBox});
    AttachMirror(list, NameListMirror{mirrored.get(), InsertIntoListBox, RemoveFromListBox, EmptyListBox});
    s_mirrored[&list] = std::move(mirrored);
    return 1;
}

void DetachListBox(NameList& list)
{
    DetachMirror(list);
    s_mirrored.erase(&list);
}

void DeferListBoxMarks(NameList& list)
{
    if (Mirrored* mirrored = FindMirrored(list))
    {
        mirrored->deferred = true;
        mirrored->known = false;
    }
}

void SettleListBoxMarks(NameList& list)
{
    Mirrored* mirrored = FindMirrored(list);
    if (!mirrored || !mirrored->deferred || !mirrored->known)
        return;
    PlaceMarks(mirrored->listBox, ReadMarks(mirrored->listBox), mirrored->marks);
    // Whatever the window does next may move them again.
    mirrored->known = false;
}

void EndListBoxMarksDeferral(NameList& list)
{
    SettleListBoxMarks(list);
    if (Mirrored* mirrored = FindMirrored(list))
        mirrored->deferred = false;
}
