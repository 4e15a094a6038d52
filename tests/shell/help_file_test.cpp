// ORVENNA.HLP as the help viewer shows it: the program's own WinHelpA calls start
// Wine's viewer, which finds the file in the Windows directory or beside the program. The viewer is another
// process, read from outside with the wide messages (only they cross processes).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "shell/shell.h"

namespace
{

constexpr wchar_t kViewerClass[] = L"MS_WINHELP";
constexpr wchar_t kMessageBoxClass[] = L"#32770";
constexpr char kViewerCaption[] = "Orvenna Help";
constexpr DWORD kPatienceMs = 15000;

std::string Narrow(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::string WindowText(HWND window)
{
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    return Narrow(text);
}

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

std::string InstalledHelpPath(const char* name = kHelpFile)
{
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\" + name;
}

// The build writes the help files beside the programs, this test among them.
std::string BuiltHelpPath(const char* name = kHelpFile)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

HWND FindViewer()
{
    HWND viewer = FindWindowW(kViewerClass, nullptr);
    return viewer && IsWindowVisible(viewer) ? viewer : nullptr;
}

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

struct BoxSearch
{
    DWORD process;
    HWND box;
};

BOOL CALLBACK FindBoxOfProcess(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (ProcessOf(window) == search->process && !wcscmp(name, kMessageBoxClass) && IsWindowVisible(window))
    {
        search->box = window;
        return FALSE;
    }
    return TRUE;
}

// A message box of the viewer's process: its caption and texts, or "" when none.
std::string ViewerMessage(DWORD process)
{
    BoxSearch search{process, nullptr};
    EnumWindows(FindBoxOfProcess, reinterpret_cast<LPARAM>(&search));
    if (!search.box)
        return "";
    std::string text = WindowText(search.box);
    for (HWND child = GetWindow(search.box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        text += " | " + WindowText(child);
    return text;
}

BOOL CALLBACK FindRichEdit(HWND window, LPARAM lParam)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (_wcsnicmp(name, L"RichEdit", 8) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = window;
    return FALSE;
}

// The topic's text as the viewer's text pane holds it.
std::string ShownText(HWND viewer)
{
    HWND pane = nullptr;
    EnumChildWindows(viewer, FindRichEdit, reinterpret_cast<LPARAM>(&pane));
    return pane ? WindowText(pane) : "";
}

// Polls until the visible viewer shows a topic whose first line is title; the viewer
// draws asynchronously to this process, after its own start-up.
HWND WaitForTopic(const std::string& title)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kPatienceMs)
    {
        HWND viewer = FindViewer();
        if (viewer && FirstLine(ShownText(viewer)) == title)
            return viewer;
        Sleep(50);
    }
    return nullptr;
}

// Answers a message box of the viewer, if one shows, so that a waiting request returns.
void DismissViewerMessage()
{
    if (HWND viewer = FindWindowW(kViewerClass, nullptr))
    {
        BoxSearch search{ProcessOf(viewer), nullptr};
        EnumWindows(FindBoxOfProcess, reinterpret_cast<LPARAM>(&search));
        if (search.box)
            PostMessageW(GetDlgItem(search.box, IDNO), BM_CLICK, 0, 0);
    }
}

bool WaitForProcessEnd(DWORD process)
{
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    if (!handle)
        return true;
    const bool ended = WaitForSingleObject(handle, kPatienceMs) == WAIT_OBJECT_0;
    CloseHandle(handle);
    return ended;
}

class HelpViewerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QuitViewer();
        ASSERT_TRUE(CopyFileA(BuiltHelpPath().c_str(), InstalledHelpPath().c_str(), FALSE))
            << "copying " << BuiltHelpPath() << " to " << InstalledHelpPath();
        owner = CreateWindowExA(0, "STATIC", "help owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
    }

    void TearDown() override
    {
        QuitViewer();
        DestroyWindow(owner);
        DeleteFileA(InstalledHelpPath().c_str());
    }

    // Ends a viewer left by this test or an earlier run, as the program does at exit.
    void QuitViewer()
    {
        if (HWND viewer = FindWindowW(kViewerClass, nullptr))
        {
            const DWORD process = ProcessOf(viewer);
            WinHelpA(owner, kHelpFile, HELP_QUIT, 0);
            WaitForProcessEnd(process);
        }
    }

    // Opens the topic of a context number and checks that it shows, as the file's,
    // with no message from the viewer.
    void ExpectTopic(UINT command, ULONG_PTR data, const std::string& title, int line)
    {
        SCOPED_TRACE(testing::Message() << "context " << data << ", called from line " << line);
        ASSERT_TRUE(WinHelpA(owner, kHelpFile, command, data));
        HWND viewer = WaitForTopic(title);
        HWND shown = FindViewer();
        ASSERT_NE(viewer, nullptr) << "expected " << title
                                   << ", shown: " << (shown ? FirstLine(ShownText(shown)) : "(no viewer)")
                                   << ", viewer's message: "
                                   << (shown ? ViewerMessage(ProcessOf(shown)) : "");
        EXPECT_EQ(WindowText(viewer), kViewerCaption);
        EXPECT_EQ(ViewerMessage(ProcessOf(viewer)), "");
    }

    HWND owner = nullptr;
};

TEST_F(HelpViewerTest, ContextNumbersOpenTheirTopics)
{
    static const struct
    {
        ULONG_PTR context;
        const char* title;
    } topics[] = {
        {916, "Set Filters"},
        {819, "Exit"},
        {830, "Display Version Information"},
        {832, "Check Function Calls"},
        {837, "Show Toolbar"},
        {838, "Show Status Bar"},
        {851, "Show Lowercase File Names"},
        {854, "Show Toolbar Tips"},
        {855, "Save Settings on Exit"},
        {856, "Save Settings Now"},
        {870, "Contents"},
        {871, "Search for Help on"},
        {872, "How to Use Help"},
        {873, "About Orvenna"},
        {914, "Start"},
        {915, "Stop"},
        {917, "Select All"},
        {918, "Select None"},
        {919, "Quick Scan Only"},
        {923, "Read Modern Links"},
        {924, "Delete to Recycle Bin"},
        {926, "Include 64-bit DLLs"},
        {920, "Save List As"},
        {921, "Backup"},
        {922, "Delete"},
        {940, "Check Links to Other Modules"},
        {5010, "Filters dialog box"},
        {5012, "Save List As dialog box"},
    };
    for (const auto& topic : topics)
        ExpectTopic(HELP_CONTEXT, topic.context, topic.title, __LINE__);
}

TEST_F(HelpViewerTest, ContentsOpensTheContentsTopicAndQuitEndsTheViewer)
{
    ExpectTopic(HELP_CONTENTS, 0, "Orvenna Help Contents", __LINE__);
    HWND viewer = FindViewer();
    ASSERT_NE(viewer, nullptr);
    const std::string text = ShownText(viewer);
    for (const char* listed : {"What \"unlinked\" means", "Quick Scan and full scan", "Filters dialog box"})
        EXPECT_NE(text.find(listed), std::string::npos) << listed;

    const DWORD process = ProcessOf(viewer);
    ASSERT_TRUE(WinHelpA(owner, kHelpFile, HELP_QUIT, 0));
    EXPECT_TRUE(WaitForProcessEnd(process));
    EXPECT_EQ(FindWindowW(kViewerClass, nullptr), nullptr);
}

// How to Use Help names no file: the viewer opens its own guide, which Wine's viewer
// lacks and the build writes.
TEST_F(HelpViewerTest, HelpOnHelpOpensTheViewersGuide)
{
    const std::string guide = InstalledHelpPath("WINHELP.HLP");
    const bool shipped = GetFileAttributesA(guide.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!shipped)
    {
        ASSERT_TRUE(CopyFileA(BuiltHelpPath("WINHELP.HLP").c_str(), guide.c_str(), TRUE));
    }
    ShowHelpOnHelp(owner);
    HWND viewer = WaitForTopic("How to Use Help");
    HWND shown = FindViewer();
    EXPECT_NE(viewer, nullptr) << "shown: " << (shown ? FirstLine(ShownText(shown)) : "(no viewer)")
                               << ", viewer's message: " << (shown ? ViewerMessage(ProcessOf(shown)) : "");
    if (viewer)
    {
        EXPECT_EQ(ViewerMessage(ProcessOf(viewer)), "");
    }
    QuitViewer();
    if (!shipped)
        DeleteFileA(guide.c_str());
}

// Without the file the viewer says so: this is what the other tests would see if the
// file were not found or not readable, and it proves that they would see it.
TEST_F(HelpViewerTest, MissingFileIsReportedByTheViewer)
{
    ASSERT_TRUE(DeleteFileA(InstalledHelpPath().c_str()));
    static constexpr char kMissing[] = "ABSENT.HLP";
    // The viewer answers WinHelpA only after its message box is closed.
    std::thread request([this] { WinHelpA(owner, kMissing, HELP_CONTEXT, 916); });
    std::string message;
    const DWORD start = GetTickCount();
    while (message.empty() && GetTickCount() - start < kPatienceMs)
    {
        if (HWND viewer = FindWindowW(kViewerClass, nullptr))
            message = ViewerMessage(ProcessOf(viewer));
        Sleep(50);
    }
    DismissViewerMessage();
    request.join();
    EXPECT_NE(message.find(kMissing), std::string::npos) << message;
}

// Beside the program the file is found from any current directory, and without a copy
// in the Windows directory: the viewer is given its path, since it never looks there.
TEST_F(HelpViewerTest, FileBesideTheProgramIsFound)
{
    ASSERT_TRUE(DeleteFileA(InstalledHelpPath().c_str()));
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    // Were the file not found, the request would wait for the viewer's message box.
    std::thread request([this] { ShowHelpContents(owner); });
    HWND viewer = WaitForTopic("Orvenna Help Contents");
    HWND shown = FindWindowW(kViewerClass, nullptr);
    const std::string message = shown ? ViewerMessage(ProcessOf(shown)) : "(no viewer)";
    DismissViewerMessage();
    request.join();
    SetCurrentDirectoryA(previous);
    EXPECT_NE(viewer, nullptr);
    EXPECT_EQ(message, "");
}

} // namespace
