// Set Filters: the modal dialog that edits a copy of the filter list and stores it
// as a whole on OK.
#include <windows.h>

#include <cstring>
#include <vector>

#include "engine/scan_state.h"
#include "platform/gdi_handles.h"
#include "platform/qemcom95.h"
#include "resources/help_file.h"
#include "resources/resource.h"
#include "settings/settings.h"

namespace
{

// The extension field takes a dot and the longest extension, or as many typed
// characters: three, eight with the modern reading.
constexpr int kLongestField = 1 + kModernExtensionLength;

int ExtensionFieldLimit()
{
    return 1 + static_cast<int>(g_readModernLinks ? kModernExtensionLength : kClassicExtensionLength);
}

void AddFilterItem(HWND list, const char* extension, unsigned char kind)
{
    const LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(extension));
    if (index >= 0)
        SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(index), kind);
}

void FillDefaultFilters(HWND list)
{
    for (const DefaultFilter& filter : kDefaultFilters)
        AddFilterItem(list, filter.extension, filter.kind);
}

// OK and Delete have something to act on exactly while the list holds an entry.
void UpdateFilterButtons(HWND dialog)
{
    const BOOL any = SendDlgItemMessageA(dialog, IDC_FILTER_LIST, LB_GETCOUNT, 0, 0) > 0;
    EnableWindow(GetDlgItem(dialog, IDC_FILTER_DELETE), any);
    EnableWindow(GetDlgItem(dialog, IDOK), any);
}

void OpenFiltersDialog(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_FILTER_LIST);
    std::vector<FilterEntry> entries;
    if (ReadFilterList(entries, FILTER_VALUE_SIZE_DIALOG))
    {
        for (const FilterEntry& entry : entries)
            AddFilterItem(list, entry.extension.c_str(), entry.kind);
    }
    else
        FillDefaultFilters(list);
    CheckDlgButton(dialog, IDC_FILTER_EXECUTABLE, BST_CHECKED);
    SendDlgItemMessageA(dialog, IDC_FILTER_EXTENSION, EM_LIMITTEXT, ExtensionFieldLimit(), 0);
    UpdateFilterButtons(dialog);
    QemCenterWindow(dialog);
}

// The entry shows without its dot, its kind on the radio buttons.
void ShowSelectedFilter(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_FILTER_LIST);
    const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return;
    char extension[MAX_PATH] = {};
    if (SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0) >=
        static_cast<LRESULT>(sizeof extension))
        return;
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(extension));
    const bool executable = (SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0) & 0xFF) != 0;
    SetDlgItemTextA(dialog, IDC_FILTER_EXTENSION, extension[0] ? extension + 1 : extension);
    CheckDlgButton(dialog, IDC_FILTER_EXECUTABLE, executable ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_FILTER_OTHER, executable ? BST_UNCHECKED : BST_CHECKED);
}

// Refused with a beep: an empty field, an extension that a listed one begins with
// (LB_FINDSTRING matches leading parts, without regard to case), one with a blank,
// which the stored form could not read back whole, and a 256th entry, which the
// one-byte count could not hold.
void AddFilter(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_FILTER_LIST);
    const int limit = ExtensionFieldLimit();
    char typed[kLongestField + 1] = {};
    GetDlgItemTextA(dialog, IDC_FILTER_EXTENSION, typed, limit + 1);
    char extension[kLongestField + 1] = {};
    if (typed[0] == '.')
        std::memcpy(extension, typed, sizeof typed);
    else
    {
        extension[0] = '.';
        std::memcpy(extension + 1, typed, static_cast<std::size_t>(limit - 1));
    }
    CharUpperA(extension);
    if (!typed[0] || std::strpbrk(extension, " \t") ||
        SendMessageA(list, LB_GETCOUNT, 0, 0) >= MAX_FILTER_ENTRIES ||
        SendMessageA(list, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(extension)) !=
            LB_ERR)
    {
        MessageBeep(0xFFFFFFFF);
        return;
    }
    const bool executable = IsDlgButtonChecked(dialog, IDC_FILTER_EXECUTABLE) == BST_CHECKED;
    AddFilterItem(list, extension, executable ? FILE_KIND_EXECUTABLE : FILE_KIND_OTHER);
    UpdateFilterButtons(dialog);
}

// The entry that followed the deleted one takes its place as the selection.
void DeleteFilter(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_FILTER_LIST);
    const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
    {
        QemInfo(QEM_INFO_NO_EXTENSION);
        return;
    }
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    UpdateFilterButtons(dialog);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void RestoreDefaultFilters(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_FILTER_LIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    FillDefaultFilters(list);
    UpdateFilterButtons(dialog);
}

void StoreListedFilters(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_FILTER_LIST);
    std::vector<FilterEntry> entries;
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++)
    {
        char extension[MAX_PATH] = {};
        if (SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) >=
            static_cast<LRESULT>(sizeof extension))
            continue;
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(extension));
        const auto kind =
            static_cast<unsigned char>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
        entries.push_back({extension, kind});
    }
    StoreFilterList(entries);
}

void OnFiltersCommand(HWND dialog, WORD id, WORD code)
{
    switch (id)
    {
    case IDC_FILTER_LIST:
        if (code == LBN_SELCHANGE)
            ShowSelectedFilter(dialog);
        break;
    case IDC_FILTER_ADD: AddFilter(dialog); break;
    case IDC_FILTER_DELETE: DeleteFilter(dialog); break;
    case IDC_FILTER_DEFAULTS: RestoreDefaultFilters(dialog); break;
    case IDC_FILTER_HELP: WinHelpA(dialog, HelpFile().c_str(), HELP_CONTEXT, IDD_FILTERS); break;
    case IDOK:
        StoreListedFilters(dialog);
        EndDialog(dialog, 1);
        break;
    case IDCANCEL: EndDialog(dialog, 0); break;
    }
}

INT_PTR CALLBACK FiltersDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    // Nonzero: the focus goes to the first tab stop, the extension field.
    case WM_INITDIALOG: OpenFiltersDialog(dialog); return TRUE;
    case WM_COMMAND: OnFiltersCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(ColourDialogStaticText(reinterpret_cast<HDC>(wParam)));
    }
    return FALSE;
}

} // namespace

int SetFilters(HWND mainWindow)
{
    if (g_scanning)
        return 0;
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));
    return static_cast<int>(
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_FILTERS), mainWindow, FiltersDialogProc, 0));
}
