#include "tests/results/file_actions_util.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "results/results.h"
#include "shell/shell.h"

namespace
{
// Controls of the common file dialog's template (dlgs.h).
constexpr int kFileName = 0x47C; // cmb13
} // namespace

void FileActionsTest::SetUp()
{
    MainWindowTest::SetUp();
    DeleteFileA(kWinZipListPath);
}

void FileActionsTest::TearDown()
{
    MainWindowTest::TearDown();
    DeleteFileA(kWinZipListPath);
}

void FileActionsTest::OpenWithFiles(int count)
{
    for (int i = 0; i < count; ++i)
    {
        // Different sizes, so that the summary's total tells which files remain.
        std::string path = folder_ / ("LIB" + std::to_string(i) + ".DLL");
        WriteText(path, std::string(static_cast<size_t>(100 + i), 'x'));
        files_.push_back(ShortPath(path));
        AddName(g_resultList, files_.back());
    }
    std::sort(files_.begin(), files_.end());
    Open();
}

void FileActionsTest::Select(const std::vector<int>& indexes)
{
    SendMessageA(g_resultListWindow, LB_SETSEL, FALSE, -1);
    for (int index : indexes)
        SendMessageA(g_resultListWindow, LB_SETSEL, TRUE, index);
}

std::vector<int> FileActionsTest::SelectedIndexes() const
{
    std::vector<int> selected;
    int count = static_cast<int>(SendMessageA(g_resultListWindow, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (SendMessageA(g_resultListWindow, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0)
            selected.push_back(i);
    return selected;
}

std::vector<std::string> FileActionsTest::Listed() const
{
    std::vector<std::string> store;
    for (int i = 0; i < GetCount(g_resultList); ++i)
        store.emplace_back(NameAt(g_resultList, i));
    EXPECT_EQ(store, ListTexts(g_resultListWindow)) << "the list box mirrors the store";
    return store;
}

std::string ShortPath(const std::string& path)
{
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    EXPECT_GT(length, 0u) << path;
    EXPECT_EQ(std::string::npos, std::string(shortPath).find(' ')) << shortPath;
    return std::string(shortPath, length);
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string BoxText(HWND box)
{
    std::string longest;
    for (const std::string& text : StaticTexts(box))
        if (text.size() > longest.size())
            longest = text;
    return longest;
}

bool IsFileDialog(HWND dialog)
{
    return GetDlgItem(dialog, kFileName) != nullptr;
}

std::string SuggestedFileName(HWND dialog)
{
    return WindowText(GetDlgItem(dialog, kFileName));
}

void AnswerFileDialog(HWND dialog, const std::string& name)
{
    if (name.empty())
    {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SetDlgItemTextA(dialog, kFileName, name.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

std::string AnswerFileDialogWithNext(HWND dialog, std::vector<std::string>& names)
{
    std::string name = names.empty() ? "" : names.front();
    if (!names.empty())
        names.erase(names.begin());
    AnswerFileDialog(dialog, name);
    return name;
}

std::string MessageText(int number)
{
    char text[300] = {};
    LoadStringA(QemGetInstHandle(), number, text, sizeof text);
    return text;
}
