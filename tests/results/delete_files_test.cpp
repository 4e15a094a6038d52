// Delete (command 922): the two confirmations, deletion in list order, files that
// cannot be deleted, the Recycle Bin, and the summary afterwards. Boxes are answered by a hook.
#include <gtest/gtest.h>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "tests/results/file_actions_util.h"

namespace
{

struct ShownBox
{
    std::string caption, text;
};

using DeleteTest = FileActionsTest;

// Answers the boxes in turn with answers; records what they showed.
std::vector<ShownBox> DeleteAnswering(HWND window, const std::vector<int>& answers)
{
    std::vector<ShownBox> shown;
    DialogAnswerer answerer([&](HWND box) {
        shown.push_back({WindowText(box), BoxText(box)});
        size_t turn = shown.size() - 1;
        PostMessageA(box, WM_COMMAND, turn < answers.size() ? answers[turn] : IDCANCEL, 0);
    });
    SendMessageA(window, WM_COMMAND, IDM_DELETE, 0);
    return shown;
}

TEST_F(DeleteTest, DeletesAdjacentSelectedFilesAfterBothConfirmations)
{
    OpenWithFiles(5);
    Select({2, 3});
    std::vector<ShownBox> shown = DeleteAnswering(window, {IDYES, IDOK});
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ("Confirm delete", shown[0].caption);
    EXPECT_EQ("Are you sure you want to delete all selected files?", shown[0].text);
    EXPECT_EQ("Final warning", shown[1].caption);
    EXPECT_EQ("Click on Ok to delete all selected files.", shown[1].text);

    EXPECT_FALSE(FileExists(files_[2]));
    EXPECT_FALSE(FileExists(files_[3]));
    EXPECT_EQ((std::vector<std::string>{files_[0], files_[1], files_[4]}), Listed());
    EXPECT_EQ(std::vector<int>{}, SelectedIndexes());
    // Sizes 100 + i of the files that stay: 0, 1 and 4.
    EXPECT_EQ(FormatSummaryLine(3, 100 + 101 + 104), StatusLineText(window));
    EXPECT_EQ("Deleted 2 file(s).", StatusBarText(window));
}

// With Delete to Recycle Bin on, the file goes to Wine's Recycle Bin, the desktop's
// trash (XDG_DATA_HOME is C:\orvtrash for this test program), with the record of where
// it came from; restored as a desktop restores it, it is whole.
TEST_F(DeleteTest, WithRecycleBinTheFileGoesToTheTrashAndCanBeRestored)
{
    OpenWithFiles(3);
    g_deleteToRecycleBin = 1;
    Select({1});
    DeleteAnswering(window, {IDYES, IDOK});
    g_deleteToRecycleBin = 0;
    EXPECT_FALSE(FileExists(files_[1]));
    EXPECT_EQ((std::vector<std::string>{files_[0], files_[2]}), Listed());
    EXPECT_EQ("Deleted 1 file(s).", StatusBarText(window));

    const std::string trashed = "C:\\orvtrash\\Trash\\files\\LIB1.DLL";
    const std::string record = "C:\\orvtrash\\Trash\\info\\LIB1.DLL.trashinfo";
    EXPECT_NE(std::string::npos, ReadText(record).find("/orv%20file%20actions/LIB1.DLL\n"))
        << ReadText(record);
    ASSERT_TRUE(MoveFileA(trashed.c_str(), files_[1].c_str()));
    DeleteFileA(record.c_str());
    EXPECT_EQ(std::string(101, 'x'), ReadText(files_[1]));
}

WNDPROC s_listProc = nullptr;
std::string s_refusedItem;

// The list box out of memory, or full, for one item.
LRESULT CALLBACK RefusingOneItem(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == LB_INSERTSTRING && s_refusedItem == reinterpret_cast<const char*>(lParam))
        return LB_ERRSPACE;
    return CallWindowProcA(s_listProc, list, message, wParam, lParam);
}

// An item the list box refuses is not listed at all: the selection names the files it
// shows, and only those are deleted.
TEST_F(DeleteTest, AFileTheListBoxRefusedIsNeitherListedNorDeleted)
{
    OpenWithFiles(4);
    Clear(g_resultList);
    s_refusedItem = files_[1];
    s_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_resultListWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefusingOneItem)));
    for (const std::string& file : files_)
        AddName(g_resultList, file);
    SetWindowLongPtrA(g_resultListWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_listProc));
    EXPECT_EQ((std::vector<std::string>{files_[0], files_[2], files_[3]}), Listed());
    Select({1, 2});
    DeleteAnswering(window, {IDYES, IDOK});
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(i < 2, FileExists(files_[i])) << files_[i];
    EXPECT_EQ(std::vector<std::string>{files_[0]}, Listed());
}

// Opened with no sharing, the file cannot be deleted: it stays listed and selected,
// while the selected file after it is still deleted.
TEST_F(DeleteTest, FileThatCannotBeDeletedStaysListedAndSelected)
{
    OpenWithFiles(4);
    HANDLE held = CreateFileA(files_[1].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Select({1, 2});
    DeleteAnswering(window, {IDYES, IDOK});
    CloseHandle(held);

    EXPECT_TRUE(FileExists(files_[1]));
    EXPECT_FALSE(FileExists(files_[2]));
    EXPECT_EQ((std::vector<std::string>{files_[0], files_[1], files_[3]}), Listed());
    EXPECT_EQ(std::vector<int>{1}, SelectedIndexes());
    EXPECT_EQ(FormatSummaryLine(3, 100 + 101 + 103), StatusLineText(window));
    EXPECT_EQ("Deleted 1 file(s).", StatusBarText(window));
}

TEST_F(DeleteTest, AllFailingRewritesTheSameSummaryAndCountsNone)
{
    OpenWithFiles(2);
    DeleteFileA(files_[0].c_str()); // already gone: cannot be deleted again
    Select({0});
    SetStatusLineText("");
    DeleteAnswering(window, {IDYES, IDOK});
    EXPECT_EQ(files_, Listed());
    EXPECT_EQ(std::vector<int>{0}, SelectedIndexes());
    EXPECT_EQ(FormatSummaryLine(2, 101), StatusLineText(window));
    EXPECT_EQ("Deleted 0 file(s).", StatusBarText(window));
}

TEST_F(DeleteTest, EitherRefusalDeletesNothing)
{
    OpenWithFiles(3);
    Select({0, 2});
    SetStatusText(" Done.");
    struct Case
    {
        const char* name;
        std::vector<int> answers;
        size_t boxes;
    };
    for (const Case& refusal : {Case{"No", {IDNO}, 1}, Case{"Yes, then Cancel", {IDYES, IDCANCEL}, 2}})
    {
        EXPECT_EQ(refusal.boxes, DeleteAnswering(window, refusal.answers).size()) << refusal.name;
        for (const std::string& file : files_)
            EXPECT_TRUE(FileExists(file)) << refusal.name << ": " << file;
        EXPECT_EQ(files_, Listed()) << refusal.name;
        EXPECT_EQ((std::vector<int>{0, 2}), SelectedIndexes()) << refusal.name;
        EXPECT_EQ(" Done.", StatusBarText(window)) << refusal.name;
    }
}

TEST_F(DeleteTest, NothingSelectedShowsMessage6014Only)
{
    OpenWithFiles(2);
    Select({});
    std::vector<ShownBox> shown = DeleteAnswering(window, {IDOK});
    ASSERT_EQ(1u, shown.size());
    char expected[300] = {};
    LoadStringA(QemGetInstHandle(), QEM_INFO_NO_SELECTION, expected, sizeof expected);
    EXPECT_EQ(expected, shown[0].text);
    EXPECT_EQ(files_, Listed());
}

TEST_F(DeleteTest, RefusedDuringAScan)
{
    OpenWithFiles(2);
    Select({0, 1});
    g_scanning = 1;
    EXPECT_EQ(0u, DeleteAnswering(window, {IDYES, IDOK}).size());
    g_scanning = 0;
    EXPECT_TRUE(FileExists(files_[0]));
    EXPECT_EQ(files_, Listed());
}

// The Del key reaches the command through the accelerator table, confirmations and all.
TEST_F(DeleteTest, DelKeyAsksTheSameConfirmations)
{
    OpenWithFiles(2);
    Select({1});
    HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(nullptr, accelerators);
    std::vector<ShownBox> shown;
    DialogAnswerer answerer([&](HWND box) {
        shown.push_back({WindowText(box), BoxText(box)});
        PostMessageA(box, WM_COMMAND, shown.size() == 1 ? IDYES : IDOK, 0);
    });
    MSG key{};
    key.hwnd = g_resultListWindow;
    key.message = WM_KEYDOWN;
    key.wParam = VK_DELETE;
    EXPECT_TRUE(TranslateAcceleratorA(window, accelerators, &key));
    ASSERT_EQ(2u, shown.size());
    EXPECT_FALSE(FileExists(files_[1]));
    EXPECT_EQ(std::vector<std::string>{files_[0]}, Listed());
}

} // namespace
