#include <windows.h>

#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "shell/start_options.h"

namespace
{

void LoadClassName(char (&name)[20])
{
    name[0] = '\0';
    LoadStringA(g_instance, IDS_CLASS_NAME, name, sizeof name);
}

// Created where it will show: moving it afterwards lays the children out twice, and on
// this platform that doubles what the window costs before a scan can begin.
WindowPlacementRect FirstPlacement(const StoredPlacement& stored)
{
    if (stored.showState == SW_SHOWNORMAL && stored.hasRect)
        return WindowPlacementRect{stored.left, stored.top, stored.width, stored.height};
    return DefaultPlacement(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

// The main window, at place; false when it could not be created.
bool CreateMainWindow(const WindowPlacementRect& place)
{
    char className[20];
    LoadClassName(className);
    char title[150] = {};
    LoadStringA(g_instance, IDS_TITLE, title, sizeof title);
    // WM_CREATE builds the children and reads the preferences inside this call.
    HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, place.x,
                                  place.y, place.width, place.height, nullptr, nullptr, g_instance, nullptr);
    g_mainWindow = window;
    return window != nullptr;
}

} // namespace

void RegisterMainClass()
{
    char className[20];
    LoadClassName(className);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = g_instance;
    windowClass.hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_ORVENNA));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    windowClass.lpszClassName = className;
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_ORVENNA), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    if (RegisterClassExA(&windowClass))
        return;
    // Systems without the extended record take the plain one, without the small icon.
    WNDCLASSA plain{};
    plain.lpfnWndProc = windowClass.lpfnWndProc;
    plain.hInstance = windowClass.hInstance;
    plain.hIcon = windowClass.hIcon;
    plain.hCursor = windowClass.hCursor;
    plain.hbrBackground = windowClass.hbrBackground;
    plain.lpszMenuName = windowClass.lpszMenuName;
    plain.lpszClassName = windowClass.lpszClassName;
    RegisterClassA(&plain);
}

HWND OpenMainWindow(HINSTANCE instance, const char* commandLine, int showCode)
{
    g_instance = instance;
    RegisterMainClass();
    const StoredPlacement stored = ReadStoredPlacement();
    if (!CreateMainWindow(FirstPlacement(stored)))
        return nullptr;
    HWND window = g_mainWindow;
    // A stored minimized or maximized state overrides the caller's show code.
    if (stored.showState != SW_SHOWNORMAL)
        showCode = stored.showState;
    // Sent, not posted: a scan it asks for is posted in turn, and so begins only in
    // the message loop, once the window is shown.
    if (commandLine)
        SendMessageA(window, WM_COMMAND, IDM_COMMAND_LINE, reinterpret_cast<LPARAM>(commandLine));
    ShowWindow(window, showCode);
    return window;
}

// The focused control still gets a key that was translated into a command.
int RunMessageLoop(HWND mainWindow, HACCEL accelerators)
{
    MSG msg;
    for (;;)
    {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            RefreshToolbarStates();
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return 0;
        if (!accelerators || !TranslateAcceleratorA(mainWindow, accelerators, &msg))
            TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int RunOrvenna(HINSTANCE instance, const char* commandLine, int showCode)
{
    HWND window = OpenMainWindow(instance, commandLine, showCode);
    if (!window)
        return 0;
    HACCEL accelerators = LoadAcceleratorsA(g_instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    if (!accelerators)
        QemError(QEM_ERR_NO_ACCELERATORS);
    return RunMessageLoop(window, accelerators);
}
