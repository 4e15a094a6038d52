/* What any window costs to open on the platform, for the benchmark: a main window with a
   status bar and a list box, shown, painted once and closed at the first turn of its
   message loop. Set against a console program's start, it is the share of the window's
   time that no program with a window can avoid. */
#include <windows.h>

#include <commctrl.h>

enum
{
    ID_STATUS_BAR = 1,
    ID_LIST = 2
};

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
    {
        CreateWindowExA(0, STATUSCLASSNAMEA, " Ready.", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                        (HMENU)ID_STATUS_BAR, NULL, NULL);
        HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_HASSTRINGS, 0, 0, 400, 300,
                                    window, (HMENU)ID_LIST, NULL, NULL);
        SendMessageA(list, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM) "C:\\WINDOWS\\SYSTEM32\\KERNEL32.DLL");
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCode)
{
    (void)previous;
    (void)commandLine;
    InitCommonControls();
    WNDCLASSA windowClass = {0};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    windowClass.lpszClassName = "BareWindow";
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowA("BareWindow", "Bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 600, 400, NULL, NULL, instance, NULL);
    if (!window)
        return 1;
    ShowWindow(window, showCode);
    UpdateWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    DestroyWindow(window);
    return 0;
}
