// Display Version Information: the pane under the result list that shows the version
// record of the current file.
#include <windows.h>

#include <string>

#include "platform/qemcom95.h"
#include "results/results.h"
#include "shell/resources/resource.h"
#include "shell/shell.h"

// The current item is the one with the caret. (Windows answers LB_GETCURSEL with it on
// a list of extended selection; Wine answers with another item once the keyboard and
// the mouse have both moved the selection.) A caret left past the end by a deletion
// marks no item.
static LRESULT CurrentItem(HWND resultList)
{
    const LRESULT count = SendMessageA(resultList, LB_GETCOUNT, 0, 0);
    const LRESULT caret = SendMessageA(resultList, LB_GETCARETINDEX, 0, 0);
    return count > 0 && caret >= 0 && caret < count ? caret : LB_ERR;
}

bool ReadCurrentResult(HWND resultList, LRESULT& index, std::string& path)
{
    index = CurrentItem(resultList);
    if (index == LB_ERR)
        return false;
    const LRESULT length = SendMessageA(resultList, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR)
        return false;
    path.assign(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(resultList, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(path.data()));
    path.resize(static_cast<size_t>(length));
    return true;
}

// Closing only hides the version list: its contents stay until the next opening.
void ToggleVersionPane(HWND mainWindow)
{
    HWND resultList = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    HWND versionList = GetDlgItem(mainWindow, IDC_VERSION_LIST);
    LRESULT current = LB_ERR;
    std::string path;
    const bool hasCurrent = ReadCurrentResult(resultList, current, path);

    g_versionPaneShown = !g_versionPaneShown;
    if (g_versionPaneShown)
    {
        if (hasCurrent)
            QemUpdateVerListbox(versionList, path.c_str());
        else
        {
            QemInfo(QEM_INFO_NO_CURRENT_FILE);
            g_versionPaneShown = false;
        }
    }
    ShowWindow(versionList, g_versionPaneShown ? SW_SHOW : SW_HIDE);
    RelayoutMainWindow(mainWindow);
    if (current != LB_ERR)
        SendMessageA(resultList, LB_SETTOPINDEX, static_cast<WPARAM>(current), 0);
    SetFocus(resultList);
}
