// The about box: QemAboutBox.
#include "platform/qem_internal.h"
#include "platform/qemcom95.h"
#include "platform/qemcom95_resources.h"

#include <cstring>
#include <string>

namespace
{

// The owner's own icon when its class has one, so the box shows the product it is about.
HICON ProductIcon(HWND owner)
{
    HICON icon = owner ? reinterpret_cast<HICON>(GetClassLongPtrA(owner, GCLP_HICON)) : nullptr;
    return icon ? icon : LoadIconA(nullptr, IDI_APPLICATION);
}

void InitAboutBox(HWND dialog, const QEMABOUT& about)
{
    // The title field need not be terminated within its 80 characters.
    SetWindowTextA(dialog, std::string(about.title, strnlen(about.title, sizeof about.title)).c_str());
    SetDlgItemTextA(dialog, QEM_IDC_ABOUT_TEXT, about.text ? about.text : "");
    SendDlgItemMessageA(dialog, QEM_IDC_ABOUT_ICON, STM_SETICON,
                        reinterpret_cast<WPARAM>(ProductIcon(about.owner)), 0);
    QemCenterWindow(dialog);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG: InitAboutBox(dialog, *reinterpret_cast<const QEMABOUT*>(lParam)); return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
        {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

// Every record number gets the same box: 103 is the only layout there is.
void WINAPI QemAboutBox(const QEMABOUT* about)
{
    if (!about)
        return;
    DialogBoxParamA(LibraryModule(), MAKEINTRESOURCEA(QEM_IDD_ABOUT), about->owner, AboutProc,
                    reinterpret_cast<LPARAM>(about));
}
