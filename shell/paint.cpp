#include <windows.h>

#include <cctype>
#include <cstring>

#include "shell/shell.h"

namespace
{

// Black on the top and left, white on the bottom and right, one pixel outside the
// child: the child looks set into the surface. LineTo leaves out each end point.
void DrawSunkenFrame(HWND mainWindow, HWND child, HDC dc)
{
    RECT rect;
    GetWindowRect(child, &rect);
    POINT topLeft{rect.left, rect.top};
    ScreenToClient(mainWindow, &topLeft);
    const int L = topLeft.x, Tp = topLeft.y;
    const int R = L + (rect.right - rect.left), Bt = Tp + (rect.bottom - rect.top);

    GdiObject<HPEN> black(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    GdiObject<HPEN> white(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    SelectedObject pen(dc, black.Get());
    MoveToEx(dc, L - 1, Bt, nullptr);
    LineTo(dc, L - 1, Tp - 1);
    LineTo(dc, R + 1, Tp - 1);
    SelectObject(dc, white.Get());
    MoveToEx(dc, R + 1, Tp, nullptr);
    LineTo(dc, R + 1, Bt + 1);
    LineTo(dc, L - 1, Bt + 1);
}

// Lists and static texts get a frame; the toolbar and the status bar draw their own.
bool IsFramedClass(HWND child)
{
    char name[51] = {};
    GetClassNameA(child, name, sizeof name);
    for (char* c = name; *c; ++c)
        *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    return std::strcmp(name, "LISTBOX") == 0 || std::strcmp(name, "STATIC") == 0;
}

void DrawChildFrames(HWND mainWindow, HDC dc)
{
    for (HWND child = GetWindow(mainWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child) && IsFramedClass(child))
            DrawSunkenFrame(mainWindow, child, dc);
}

} // namespace

void PaintMainWindow(HWND mainWindow)
{
    GdiObject<HPEN> white(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    GdiObject<HPEN> grey(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
    RECT client;
    GetClientRect(mainWindow, &client);
    PaintScope paint(mainWindow);
    HDC dc = paint.Get();
    if (!dc)
        return;
    FillRect(dc, &client, g_backgroundBrush.Get());
    {
        // A raised edge: light on the left and top, shadow on the right and bottom.
        SelectedObject pen(dc, white.Get());
        MoveToEx(dc, client.left + 1, client.bottom - 1, nullptr);
        LineTo(dc, client.left + 1, client.top);
        LineTo(dc, client.right - 1, client.top);
        SelectObject(dc, grey.Get());
        LineTo(dc, client.right - 1, client.bottom - 1);
        LineTo(dc, client.left + 1, client.bottom - 1);
    }
    DrawChildFrames(mainWindow, dc);
}
