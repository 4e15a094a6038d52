// Reads and steers Orvenna's main window from another process, for the screenshot
// script: only standard messages cross processes, and their texts travel as UTF-16.
//
//   window_probe text ID        the text of child ID (0: the window's title)
//   window_probe rect           left top width height of the window, screen pixels
//   window_probe show PREFIX    scrolls the result list to its first item that
//                               begins with PREFIX and selects that item alone
//   window_probe close          asks the window to close (WM_CLOSE)
//
// Exit status 1 when the window (or the child) is not there, 2 for bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace
{

constexpr wchar_t kClassName[] = L"OrvennaWndClass95";
constexpr int kResultList = 351;

std::string ToUtf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::wstring ToWide(const char* text)
{
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(size > 0 ? static_cast<size_t>(size) : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), size);
    out.resize(out.size() - 1);
    return out;
}

int PrintText(HWND window, int id)
{
    HWND target = id ? GetDlgItem(window, id) : window;
    if (!target)
        return 1;
    wchar_t text[1024] = {};
    SendMessageW(target, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    std::printf("%s\n", ToUtf8(text).c_str());
    return 0;
}

int PrintRect(HWND window)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return 1;
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

int ShowItems(HWND window, const char* prefix)
{
    HWND list = GetDlgItem(window, kResultList);
    if (!list)
        return 1;
    std::wstring key = ToWide(prefix);
    LRESULT index =
        SendMessageW(list, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(key.c_str()));
    if (index == LB_ERR)
        return 1;
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    SendMessageW(list, LB_SETSEL, TRUE, index);
    SendMessageW(list, LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
    SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    HWND window = FindWindowW(kClassName, nullptr);
    if (!window)
        return 1;
    std::string command = argv[1];
    if (command == "text" && argc == 3)
        return PrintText(window, std::atoi(argv[2]));
    if (command == "rect" && argc == 2)
        return PrintRect(window);
    if (command == "show" && argc == 3)
        return ShowItems(window, argv[2]);
    if (command == "close" && argc == 2)
        return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    return 2;
}
