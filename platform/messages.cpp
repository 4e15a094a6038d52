// Numbered message boxes: QemError, QemInfo.
#include "platform/qem_internal.h"
#include "platform/qemcom95.h"
#include "platform/qemcom95_resources.h"

#include <cstdio>
#include <string>

namespace
{

// The text stored under the number, or the general text naming the number.
std::string MessageText(int number, UINT unknownFormat)
{
    std::string text = number > 0 ? LoadLibraryString(static_cast<UINT>(number)) : std::string();
    if (!text.empty())
        return text;
    char buffer[256];
    snprintf(buffer, sizeof buffer, LoadLibraryString(unknownFormat).c_str(), number);
    return buffer;
}

// Owned by the caller's active window, so that the box is modal to it; a caller without
// one (the console scanner) still gets a box that blocks its thread.
void ShowMessage(int number, UINT unknownFormat, UINT icon)
{
    HWND owner = GetActiveWindow();
    UINT style = MB_OK | icon | (owner ? 0 : MB_TASKMODAL);
    MessageBoxA(owner, MessageText(number, unknownFormat).c_str(), LoadLibraryString(QEM_IDS_CAPTION).c_str(),
                style);
}

} // namespace

void WINAPI QemError(int number)
{
    ShowMessage(number, QEM_IDS_UNKNOWN_ERROR, MB_ICONSTOP);
}

void WINAPI QemInfo(int number)
{
    ShowMessage(number, QEM_IDS_UNKNOWN_NOTICE, MB_ICONINFORMATION);
}
