#include <windows.h>

#include "engine/scan_state.h"
#include "platform/gdi_handles.h"
#include "platform/qemcom95.h"
#include "resources/help_file.h"
#include "resources/resource.h"
#include "results/results.h"

namespace
{

constexpr int kPrefixLimit = 20;
constexpr int kSuffixLimit = 300;

INT_PTR InitSaveList(HWND dialog, LPARAM resultList)
{
    SetWindowLongPtrA(dialog, DWLP_USER, resultList);
    CheckRadioButton(dialog, IDC_SAVE_LIST_ALL, IDC_SAVE_LIST_ALL, IDC_SAVE_LIST_ALL);
    SendDlgItemMessageA(dialog, IDC_SAVE_PREFIX, EM_LIMITTEXT, kPrefixLimit, 0);
    SendDlgItemMessageA(dialog, IDC_SAVE_SUFFIX, EM_LIMITTEXT, kSuffixLimit, 0);
    QemCenterWindow(dialog);
    return TRUE;
}

// The dialog stays open whenever nothing was written, so that the user can try again
// or cancel.
void AcceptSaveList(HWND dialog)
{
    auto resultList = reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, DWLP_USER));
    bool allItems = IsDlgButtonChecked(dialog, IDC_SAVE_LIST_ALL) == BST_CHECKED;
    if (!allItems && SendMessageA(resultList, LB_GETSELCOUNT, 0, 0) <= 0)
    {
        QemInfo(QEM_INFO_NO_SELECTION);
        return;
    }
    char prefix[kPrefixLimit + 1] = "";
    char suffix[kSuffixLimit + 1] = "";
    GetDlgItemTextA(dialog, IDC_SAVE_PREFIX, prefix, sizeof prefix);
    GetDlgItemTextA(dialog, IDC_SAVE_SUFFIX, suffix, sizeof suffix);
    if (WriteFileList(dialog, QEM_SAVE_LIST, allItems, prefix, suffix))
        EndDialog(dialog, 1);
}

INT_PTR CALLBACK SaveListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG: return InitSaveList(dialog, lParam);
    case WM_CTLCOLORSTATIC: return reinterpret_cast<INT_PTR>(ColourStaticText(reinterpret_cast<HDC>(wParam)));
    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDOK: AcceptSaveList(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        case IDC_SAVE_LIST_HELP:
            WinHelpA(dialog, HelpFile().c_str(), HELP_CONTEXT, IDD_SAVE_LIST);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

void SaveListAs(HWND mainWindow)
{
    if (g_scanning || GetCount(g_resultList) == 0)
        return;
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SAVE_LIST), mainWindow, SaveListProc,
                    reinterpret_cast<LPARAM>(g_resultListWindow));
}
