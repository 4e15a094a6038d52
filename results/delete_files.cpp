#include <windows.h>

#include <string>

#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/qemcom95.h"
#include "results/results.h"

namespace
{

// Only an explicit Yes and then OK go on: a box closed any other way deletes nothing.
bool ConfirmDelete(HWND mainWindow)
{
    if (MessageBoxA(mainWindow, "Are you sure you want to delete all selected files?", "Confirm delete",
                    MB_ICONQUESTION | MB_YESNO) != IDYES)
        return false;
    return MessageBoxA(mainWindow, "Click on Ok to delete all selected files.", "Final warning",
                       MB_ICONEXCLAMATION | MB_OKCANCEL) == IDOK;
}

// Removing an item from the store takes it out of the list box at the same index, and
// the item below moves up into that index: it is examined next.
int DeleteSelectedItems(HWND list)
{
    int deleted = 0;
    for (int i = 0; i < GetCount(g_resultList); ++i)
    {
        if (SendMessageA(list, LB_GETSEL, static_cast<WPARAM>(i), 0) <= 0)
            continue;
        std::string path(NameAt(g_resultList, i));
        if (!DeleteFileA(path.c_str()))
            continue;
        ++deleted;
        RemoveAt(g_resultList, i);
        --i;
    }
    return deleted;
}

} // namespace

void DeleteSelectedFiles(HWND mainWindow)
{
    HWND list = ResultListBox();
    if (g_scanning || GetCount(g_resultList) == 0)
        return;
    if (SendMessageA(list, LB_GETSELCOUNT, 0, 0) <= 0)
    {
        QemInfo(QEM_INFO_NO_SELECTION);
        return;
    }
    if (!ConfirmDelete(mainWindow))
        return;
    int deleted = DeleteSelectedItems(list);
    UpdateSummaryLine(mainWindow);
    char text[40];
    wsprintfA(text, "Deleted %d file(s).", deleted);
    SetStatusText(text);
}
