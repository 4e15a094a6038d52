#include "engine/list_box_mirror.h"

namespace
{

HWND ListBoxOf(void* context)
{
    return static_cast<HWND>(context);
}

void InsertIntoListBox(void* context, int index, const char* name)
{
    SendMessageA(ListBoxOf(context), LB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(name));
}

void RemoveFromListBox(void* context, int index)
{
    SendMessageA(ListBoxOf(context), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void EmptyListBox(void* context)
{
    SendMessageA(ListBoxOf(context), LB_RESETCONTENT, 0, 0);
}

// An owner-drawn list box without LBS_HASSTRINGS keeps the pointer it is given, not
// the text, and the store's strings move.
bool KeepsStrings(HWND listBox)
{
    LONG_PTR style = GetWindowLongPtrA(listBox, GWL_STYLE);
    return !(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (style & LBS_HASSTRINGS);
}

} // namespace

int AttachListBox(NameList& list, HWND listBox)
{
    DetachMirror(list);
    SendMessageA(listBox, LB_RESETCONTENT, 0, 0);
    if (!KeepsStrings(listBox))
        return -1;
    int count = GetCount(list);
    SendMessageA(listBox, LB_INITSTORAGE, static_cast<WPARAM>(count), static_cast<LPARAM>(count) * 48);
    for (int i = 0; i < count; ++i)
    {
        std::string_view name = NameAt(list, i);
        LRESULT at = SendMessageA(listBox, LB_INSERTSTRING, static_cast<WPARAM>(i),
                                  reinterpret_cast<LPARAM>(name.data()));
        if (at != i)
        {
            SendMessageA(listBox, LB_RESETCONTENT, 0, 0);
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
