// Helpers of the common library's Wine tests: fixture paths, scratch files, and a hook
// that answers the modal windows the library opens.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The folder of the test program (B:\bin), where the library and the fixtures lie.
std::string ProgramFolder();
std::string LibraryPath();

// A folder of the test's own under the temporary folder, emptied when made (a failed
// run may have left it) and removed with everything in it at the end.
class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void RemoveTree(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);

// The texts of a window's static children (not theirs), in z order.
std::vector<std::string> StaticTexts(HWND window);
std::string WindowText(HWND window);

// While alive, every dialog-class window (#32770) that the thread activates is handed to
// answer, which must close it (post a command to it); answer sees each window once, from
// a timer of the dialog's own message loop, once the window is fully set up.
class DialogAnswerer
{
public:
    explicit DialogAnswerer(std::function<void(HWND)> answer);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    int Count() const { return count_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK Answer(HWND, UINT, UINT_PTR timer, DWORD);

    std::function<void(HWND)> answer_;
    HHOOK hook_;
    std::vector<HWND> seen_;
    std::vector<HWND> waiting_;
    int count_ = 0;
};

// A visible top-level window of a plain class, destroyed at the end.
class TestWindow
{
public:
    TestWindow(int left, int top, int width, int height, HWND owner = nullptr,
               DWORD style = WS_OVERLAPPEDWINDOW);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Get() const { return window_; }

private:
    HWND window_;
};
