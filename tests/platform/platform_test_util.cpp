#include "tests/platform/platform_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string LibraryPath()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(GetModuleHandleA("qemcom95.dll"), path, sizeof path);
    return std::string(path, length);
}

ScratchFolder::ScratchFolder(const std::string& name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path_ = std::string(temp) + name;
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
            {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

void WriteText(const std::string& path, const std::string& text)
{
    WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string WindowText(HWND window)
{
    char text[1024];
    int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

std::vector<std::string> StaticTexts(HWND window)
{
    std::vector<std::string> texts;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    {
        char className[32];
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0)
            texts.push_back(WindowText(child));
    }
    return texts;
}

namespace
{
// The hook procedure has no context argument; tests run on one thread, one answerer at a time.
DialogAnswerer* g_answerer = nullptr;
} // namespace

DialogAnswerer::DialogAnswerer(std::function<void(HWND)> answer)
    : answer_(std::move(answer)), hook_(SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId()))
{
    EXPECT_NE(nullptr, hook_);
    g_answerer = this;
}

DialogAnswerer::~DialogAnswerer()
{
    g_answerer = nullptr;
    if (hook_)
        UnhookWindowsHookEx(hook_);
}

LRESULT CALLBACK DialogAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_answerer)
    {
        auto window = reinterpret_cast<HWND>(wParam);
        char className[32];
        GetClassNameA(window, className, sizeof className);
        std::vector<HWND>& seen = g_answerer->seen_;
        if (std::strcmp(className, "#32770") == 0 &&
            std::find(seen.begin(), seen.end(), window) == seen.end())
        {
            seen.push_back(window);
            g_answerer->waiting_.push_back(window);
            SetTimer(nullptr, 0, 50, Answer);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK DialogAnswerer::Answer(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (!g_answerer)
        return;
    std::vector<HWND> waiting;
    waiting.swap(g_answerer->waiting_);
    for (HWND window : waiting)
    {
        if (IsWindow(window))
        {
            ++g_answerer->count_;
            g_answerer->answer_(window);
        }
    }
}

namespace
{
const char* TestWindowClass()
{
    static const char* name = [] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        windowClass.lpszClassName = "OrvPlatformTestWindow";
        RegisterClassA(&windowClass);
        return windowClass.lpszClassName;
    }();
    return name;
}
} // namespace

TestWindow::TestWindow(int left, int top, int width, int height, HWND owner, DWORD style)
    : window_(CreateWindowExA(0, TestWindowClass(), "Orvenna test", style, left, top, width, height, owner,
                              nullptr, GetModuleHandleA(nullptr), nullptr))
{
    EXPECT_NE(nullptr, window_);
    if (!(style & WS_CHILD))
        ShowWindow(window_, SW_SHOWNORMAL);
}

TestWindow::~TestWindow()
{
    if (window_)
        DestroyWindow(window_);
}
