#include <windows.h>

#include <shellapi.h>

#include <string>

#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/qemcom95.h"
#include "results/results.h"
#include "settings/settings.h"

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

// One file at a time, with no dialogs or progress of the shell's own: the two
// confirmations stay the only questions, and each file's failure is its own.
bool MoveToRecycleBin(const std::string& path)
{
    std::string from = path;
    from += '\0'; // the list of names ends with an empty one
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationA(&operation) == 0 && !operation.fAnyOperationsAborted &&
           GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path)
{
    return g_deleteToRecycleBin ? MoveToRecycleBin(path) : DeleteFileA(path.c_str()) != 0;
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
        if (!RemoveFile(path))
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
    HWND list = g_resultListWindow;
    if (g_scanning || GetCount(g_resultList) == 0)
        return;
    if (SendMessageA(list, LB_GETSELCOUNT, 0, 0) <= 0)
    {
        QemInfo(QEM_INFO_NO_SELECTION);
        return;
    }
    if (!ConfirmDelete(mainWindow))
        return;
    int deleted = 0;
    {
        // A listed System32 path names the 64-bit file, never its 32-bit namesake.
        RedirectionOff unredirected(g_scanInputs.scan64);
        deleted = DeleteSelectedItems(list);
    }
    UpdateSummaryLine(mainWindow);
    char text[40];
    wsprintfA(text, "Deleted %d file(s).", deleted);
    SetStatusText(text);
}
