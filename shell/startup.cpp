#include <windows.h>

#include "platform/qemcom95.h"
#include "settings/settings.h"
#include "shell/resources/resource.h"
#include "shell/shell.h"
#include "shell/start_options.h"

namespace
{

void LoadClassName(char (&name)[20])
{
    name[0] = '\0';
    LoadStringA(g_instance, IDS_CLASS_NAME, name, sizeof name);
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

bool CreateMainWindow()
{
    char className[20];
    LoadClassName(className);
    char title[150] = {};
    LoadStringA(g_instance, IDS_TITLE, title, sizeof title);
    const WindowPlacementRect place =
        DefaultPlacement(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    // WM_CREATE builds the children and reads the preferences inside this call.
    HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, place.x,
                                  place.y, place.width, place.height, nullptr, nullptr, g_instance, nullptr);
    g_mainWindow = window;
    return window != nullptr;
}

int RestorePlacement(HWND mainWindow, int showCode)
{
    const StoredPlacement stored = ReadStoredPlacement();
    if (stored.showState != SW_SHOWNORMAL)
        return stored.showState;
    if (stored.hasRect)
        SetWindowPos(mainWindow, HWND_TOP, stored.left, stored.top, stored.width, stored.height,
                     SWP_FRAMECHANGED);
    return showCode;
}

HWND OpenMainWindow(HINSTANCE instance, const char* commandLine, int showCode)
{
    g_instance = instance;
    RegisterMainClass();
    if (!CreateMainWindow())
        return nullptr;
    HWND window = g_mainWindow;
    showCode = RestorePlacement(window, showCode);
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
