// Helpers of the main window's tests: the window made as start-up makes it, in the
// test process, with the registry section of its preferences emptied before and after;
// readers of its children; a stand-in help viewer that records the help calls.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline constexpr char kPreferencesKey[] = "Software\\Tessaly Software Ltd\\Orvenna\\4.70\\Preferences";

// The tests' fixture: no stored preferences, the result store empty, then the window
// opened by start-up with showCode and the command line (null: none).
class MainWindowTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the window as start-up does; the test's window is destroyed at its end.
    HWND Open(const char* commandLine = nullptr, int showCode = SW_SHOWNORMAL);
    // Removes the messages waiting for the window; answers the commands among them.
    std::vector<int> TakePostedCommands();

    HWND window = nullptr;
};

void ClearStoredPreferences();
// A one-byte value, or -1 when absent; a text value, or "(absent)".
int StoredByte(const char* name);
std::string StoredText(const char* name);
void StoreByte(const char* name, BYTE value);
void StoreText(const char* name, const std::string& text);
// Every value of the section, as name=value lines in order of name.
std::vector<std::string> StoredValues();

HWND Child(HWND window, int id);
std::string StatusBarText(HWND window);
std::string StatusLineText(HWND window);
// A child's rectangle in the main window's client coordinates.
RECT ChildRect(HWND window, int id);
std::vector<std::string> ListTexts(HWND list);
// Lets the window handle what waits for it (layout, painting), without the loop.
void PumpWaitingMessages();

// Registers the help viewer's window class in this process, so that WinHelpA sends
// its requests here instead of starting the viewer.
class HelpRecorder
{
public:
    struct Call
    {
        UINT command;
        std::string file;
        ULONG_PTR data;   // a number, or 0 where the request carries a text
        std::string text; // the text of HELP_PARTIALKEY and similar requests
    };
    HelpRecorder();
    ~HelpRecorder();
    HelpRecorder(const HelpRecorder&) = delete;
    HelpRecorder& operator=(const HelpRecorder&) = delete;

    const std::vector<Call>& Calls() const { return calls_; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    std::vector<Call> calls_;
};

// Records the commands, popup states and other messages that reach a window, and
// passes them on: the window is subclassed while this lives.
class WindowSpy
{
public:
    explicit WindowSpy(HWND window);
    ~WindowSpy();
    WindowSpy(const WindowSpy&) = delete;
    WindowSpy& operator=(const WindowSpy&) = delete;

    std::vector<int> commands; // WM_COMMAND identifiers, in order
    std::vector<HMENU> popups; // menus that WM_INITMENUPOPUP announced
    // The state of every item of each announced popup, read after the window set them.
    std::vector<std::vector<std::pair<UINT, UINT>>> popupStates;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    WNDPROC previous_;
};
