// Centring a window on its owner: QemCenterWindow.
#include "platform/qem_internal.h"
#include "platform/qemcom95.h"

namespace
{

// The work area of the monitor that holds most of the window, where the centred one
// must stay.
RECT WorkAreaOf(HWND window)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return monitor.rcWork;
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// Keeps a top-left corner such that a window of the given size stays inside the area
// (its top-left corner wins when the window is larger than the area).
LONG KeepInside(LONG start, LONG size, LONG areaStart, LONG areaEnd)
{
    if (start + size > areaEnd)
        start = areaEnd - size;
    return start < areaStart ? areaStart : start;
}

// Centres a child window in its parent's client area.
void CenterChild(HWND window, const RECT& own)
{
    RECT client;
    if (!GetClientRect(GetParent(window), &client))
        return;
    int width = own.right - own.left;
    int height = own.bottom - own.top;
    SetWindowPos(window, nullptr, (client.right - width) / 2, (client.bottom - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void WINAPI QemCenterWindow(HWND window)
{
    RECT own;
    if (!window || !GetWindowRect(window, &own))
        return;
    if (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD)
    {
        CenterChild(window, own);
        return;
    }

    // A hidden or minimized owner has no useful rectangle: centre on the screen instead.
    HWND owner = GetWindow(window, GW_OWNER);
    bool onOwner = owner && IsWindowVisible(owner) && !IsIconic(owner);
    RECT area = WorkAreaOf(onOwner ? owner : window);
    RECT around = area;
    if (onOwner)
        GetWindowRect(owner, &around);

    LONG width = own.right - own.left;
    LONG height = own.bottom - own.top;
    LONG left = around.left + ((around.right - around.left) - width) / 2;
    LONG top = around.top + ((around.bottom - around.top) - height) / 2;
    left = KeepInside(left, width, area.left, area.right);
    top = KeepInside(top, height, area.top, area.bottom);
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
