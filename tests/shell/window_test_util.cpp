#include "tests/shell/window_test_util.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "engine/scan_state.h"
#include "resources/resource.h"
#include "shell/shell.h"

namespace
{

HKEY OpenPreferences()
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPreferencesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

struct KeyCloser
{
    HKEY key;
    ~KeyCloser()
    {
        if (key)
            RegCloseKey(key);
    }
};

// Only one spy at a time: the subclass procedure has no context of its own.
WindowSpy* g_spy = nullptr;
HelpRecorder* g_help = nullptr;

} // namespace

void MainWindowTest::SetUp()
{
    ClearStoredPreferences();
    Clear(g_resultList);
    g_scanning = 0;
}

void MainWindowTest::TearDown()
{
    if (window && IsWindow(window))
        DestroyWindow(window);
    window = nullptr;
    TakePostedCommands();
    Clear(g_resultList);
    g_scanning = 0;
    ClearStoredPreferences();
}

HWND MainWindowTest::Open(const char* commandLine, int showCode)
{
    window = OpenMainWindow(GetModuleHandleA(nullptr), commandLine, showCode);
    EXPECT_NE(nullptr, window);
    PumpWaitingMessages();
    return window;
}

std::vector<int> MainWindowTest::TakePostedCommands()
{
    std::vector<int> commands;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        commands.push_back(LOWORD(msg.wParam));
    // WM_QUIT too: it would end the next message loop of the test program.
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
    {
    }
    return commands;
}

void ClearStoredPreferences()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPreferencesKey);
}

int StoredByte(const char* name)
{
    KeyCloser key{OpenPreferences()};
    BYTE value[4] = {};
    DWORD size = sizeof value, type = 0;
    if (!key.key || RegQueryValueExA(key.key, name, nullptr, &type, value, &size) != ERROR_SUCCESS ||
        size != 1)
        return -1;
    return value[0];
}

std::string StoredText(const char* name)
{
    KeyCloser key{OpenPreferences()};
    char value[100] = {};
    DWORD size = sizeof value - 1, type = 0;
    if (!key.key || RegQueryValueExA(key.key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
                        ERROR_SUCCESS)
        return "(absent)";
    // A text is stored with its terminator.
    return std::string(value, strnlen(value, size));
}

void StoreByte(const char* name, BYTE value)
{
    KeyCloser key{OpenPreferences()};
    ASSERT_NE(nullptr, key.key);
    RegSetValueExA(key.key, name, 0, REG_BINARY, &value, 1);
}

void StoreText(const char* name, const std::string& text)
{
    KeyCloser key{OpenPreferences()};
    ASSERT_NE(nullptr, key.key);
    RegSetValueExA(key.key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

std::vector<std::string> StoredValues()
{
    std::vector<std::string> values;
    KeyCloser key{OpenPreferences()};
    for (DWORD i = 0; key.key; ++i)
    {
        char name[64];
        BYTE data[100];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key.key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        const char* text = reinterpret_cast<char*>(data);
        std::string value = type == REG_BINARY && dataSize == 1 ? std::to_string(data[0])
                                                                : std::string(text, strnlen(text, dataSize));
        values.push_back(std::string(name, nameSize) + "=" + value);
    }
    std::sort(values.begin(), values.end());
    return values;
}

HWND Child(HWND window, int id)
{
    return GetDlgItem(window, id);
}

std::string StatusBarText(HWND window)
{
    char text[300] = {};
    SendMessageA(Child(window, IDC_STATUS_BAR), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string StatusLineText(HWND window)
{
    char text[300] = {};
    GetWindowTextA(Child(window, IDC_STATUS_LINE), text, sizeof text);
    return text;
}

RECT ChildRect(HWND window, int id)
{
    RECT rect{};
    GetWindowRect(Child(window, id), &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<std::string> ListTexts(HWND list)
{
    std::vector<std::string> texts;
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        char text[300] = {};
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        texts.push_back(text);
    }
    return texts;
}

void PumpWaitingMessages()
{
    MSG msg;
    // Posted commands stay for the test to look at; painting and the rest go through.
    while (PeekMessageA(&msg, nullptr, 0, WM_COMMAND - 1, PM_REMOVE) ||
           PeekMessageA(&msg, nullptr, WM_COMMAND + 1, 0xFFFF, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HelpRecorder::HelpRecorder()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MS_WINHELP";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "MS_WINHELP", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(nullptr, window_);
    g_help = this;
}

HelpRecorder::~HelpRecorder()
{
    g_help = nullptr;
    if (window_)
        DestroyWindow(window_);
}

// WinHelpA hands the request over as a WINHELP record in WM_COPYDATA: size, command,
// data (or the offset of its text), offset of the file name, then the texts.
LRESULT CALLBACK HelpRecorder::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA && g_help)
    {
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const auto* bytes = static_cast<const char*>(copy->lpData);
        struct Record
        {
            WORD size, command;
            LONG data, reserved;
            WORD ofsFilename, ofsData;
        };
        Record record;
        std::memcpy(&record, bytes, sizeof record);
        Call call{record.command, record.ofsFilename ? bytes + record.ofsFilename : "", 0, ""};
        if (record.command == HELP_PARTIALKEY || record.command == HELP_KEY)
            call.text = bytes + record.ofsData;
        else
            call.data = static_cast<ULONG_PTR>(record.data);
        g_help->calls_.push_back(call);
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

WindowSpy::WindowSpy(HWND window)
    : window_(window), previous_(reinterpret_cast<WNDPROC>(
                           SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc))))
{
    g_spy = this;
}

WindowSpy::~WindowSpy()
{
    g_spy = nullptr;
    if (IsWindow(window_))
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
}

LRESULT CALLBACK WindowSpy::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowSpy* spy = g_spy;
    if (!spy)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_COMMAND)
        spy->commands.push_back(LOWORD(wParam));
    LRESULT result = CallWindowProcA(spy->previous_, window, message, wParam, lParam);
    if (message == WM_INITMENUPOPUP)
    {
        auto menu = reinterpret_cast<HMENU>(wParam);
        spy->popups.push_back(menu);
        std::vector<std::pair<UINT, UINT>> states;
        for (int i = 0; i < GetMenuItemCount(menu); ++i)
        {
            UINT id = GetMenuItemID(menu, i);
            states.emplace_back(id, GetMenuState(menu, i, MF_BYPOSITION));
        }
        spy->popupStates.push_back(states);
    }
    return result;
}
