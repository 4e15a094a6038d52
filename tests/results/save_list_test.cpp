// Save List As (command 920, dialog 5012) and the list writer: both options, the
// prefix and suffix, overwriting, and the refusals that keep the dialog open. The
// dialog, the file dialog and the boxes are answered by a hook.
#include <gtest/gtest.h>

#include <functional>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/results.h"
#include "tests/results/file_actions_util.h"

namespace
{

using SaveListTest = FileActionsTest;

// What the user does in the Save List As dialog before pressing OK.
struct SaveChoice
{
    bool selectedOnly = false;
    std::string prefix, suffix;
};

// What the dialogs showed while they were answered.
struct SaveRun
{
    int saveDialogs = 0;
    std::vector<std::string> suggested; // the file dialogs' names on opening
    std::vector<std::string> boxes;     // texts of the message boxes
};

// Runs command 920: the Save List As dialog takes choice and OK; each file dialog
// takes the next name of names (none left, or an empty one: cancel); each message box
// answers Yes (an overwrite question) or OK. When the Save List As dialog stays open
// after a refusal, it is cancelled.
SaveRun RunSaveList(HWND window, const SaveChoice& choice, std::vector<std::string> names)
{
    SaveRun run;
    HWND saveDialog = nullptr;
    DialogAnswerer answerer([&](HWND dialog) {
        // The file dialog bears the same title: it is told by its file name field.
        if (IsFileDialog(dialog))
        {
            run.suggested.push_back(SuggestedFileName(dialog));
            if (AnswerFileDialogWithNext(dialog, names).empty())
                PostMessageA(saveDialog, WM_COMMAND, IDCANCEL, 0);
        }
        else if (WindowText(dialog) == "Save List As")
        {
            saveDialog = dialog;
            ++run.saveDialogs;
            CheckDlgButton(dialog, IDC_SAVE_LIST_ALL, choice.selectedOnly ? BST_UNCHECKED : BST_CHECKED);
            CheckDlgButton(dialog, IDC_SAVE_LIST_SELECTED, choice.selectedOnly ? BST_CHECKED : BST_UNCHECKED);
            SetDlgItemTextA(dialog, IDC_SAVE_PREFIX, choice.prefix.c_str());
            SetDlgItemTextA(dialog, IDC_SAVE_SUFFIX, choice.suffix.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
        else
        {
            run.boxes.push_back(BoxText(dialog));
            bool question = GetDlgItem(dialog, IDYES) != nullptr;
            PostMessageA(dialog, WM_COMMAND, question ? IDYES : IDOK, 0);
            if (!question)
                PostMessageA(saveDialog, WM_COMMAND, IDCANCEL, 0);
        }
    });
    SendMessageA(window, WM_COMMAND, IDM_SAVE_LIST, 0);
    return run;
}

std::string Lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

TEST_F(SaveListTest, WritesAllItemsOrOnlyTheSelectedOnes)
{
    OpenWithFiles(3);
    Select({1});
    std::string saved = folder_ / "all.lst";
    SaveRun run = RunSaveList(window, {}, {saved});
    EXPECT_EQ(std::vector<std::string>{"*.lst"}, run.suggested);
    EXPECT_EQ(std::vector<std::string>{}, run.boxes);
    // Empty prefix and suffix still give their blanks.
    EXPECT_EQ(Lines({" " + files_[0] + " ", " " + files_[1] + " ", " " + files_[2] + " "}), ReadText(saved));

    saved = folder_ / "selected.lst";
    RunSaveList(window, {true, "", ""}, {saved});
    EXPECT_EQ(Lines({" " + files_[1] + " "}), ReadText(saved));
}

TEST_F(SaveListTest, PrefixAndSuffixSurroundEveryPath)
{
    OpenWithFiles(2);
    std::string saved = folder_ / "copy.lst";
    RunSaveList(window, {false, "copy", "D:\\SAVE"}, {saved});
    EXPECT_EQ(Lines({"copy " + files_[0] + " D:\\SAVE", "copy " + files_[1] + " D:\\SAVE"}), ReadText(saved));
}

// The field takes 20 characters: a prefix of 20 is written whole, a longer one set
// from outside the keyboard is cut there.
TEST_F(SaveListTest, PrefixOfTwentyCharactersIsWrittenWhole)
{
    OpenWithFiles(1);
    const std::string twenty = "12345678901234567890";
    std::string saved = folder_ / "twenty.lst";
    RunSaveList(window, {false, twenty, "end"}, {saved});
    EXPECT_EQ(Lines({twenty + " " + files_[0] + " end"}), ReadText(saved));

    RunSaveList(window, {false, twenty + "XYZ", ""}, {saved});
    EXPECT_EQ(Lines({twenty + " " + files_[0] + " "}), ReadText(saved));
}

TEST_F(SaveListTest, SavingOverAnExistingFileReplacesIt)
{
    OpenWithFiles(1);
    std::string saved = folder_ / "old.lst";
    WriteText(saved, std::string(5000, 'o'));
    RunSaveList(window, {false, "del", ""}, {saved});
    EXPECT_EQ(Lines({"del " + files_[0] + " "}), ReadText(saved));
}

// Run with the list file a link to the kernel's full device, whose writes fail as a
// full disk's do (tests/results/CMakeLists.txt): message 6013, and the writer's 0 keeps
// the dialog open.
TEST_F(SaveListTest, OnAFullDiskShowsMessage6013AndKeepsTheDialogOpen)
{
    OpenWithFiles(2);
    std::vector<std::string> boxes;
    DialogAnswerer answerer([&](HWND dialog) {
        if (IsFileDialog(dialog))
        {
            AnswerFileDialog(dialog, "B:\\fixtures\\full-disk.lst");
            return;
        }
        boxes.push_back(BoxText(dialog));
        PostMessageA(dialog, WM_COMMAND, GetDlgItem(dialog, IDYES) ? IDYES : IDOK, 0);
    });
    EXPECT_EQ(0, WriteFileList(window, QEM_SAVE_LIST, true, "", ""));
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(MessageText(QEM_ERR_OUTPUT_OPEN), boxes.back());
}

TEST_F(SaveListTest, SelectedOnlyWithNothingSelectedKeepsTheDialogOpen)
{
    OpenWithFiles(2);
    Select({});
    SaveRun run = RunSaveList(window, {true, "", ""}, {folder_ / "none.lst"});
    EXPECT_EQ(std::vector<std::string>{MessageText(QEM_INFO_NO_SELECTION)}, run.boxes);
    EXPECT_EQ(0u, run.suggested.size()) << "no file dialog";
    EXPECT_FALSE(FileExists(folder_ / "none.lst"));
}

TEST_F(SaveListTest, CancelledFileDialogWritesNothing)
{
    OpenWithFiles(2);
    SaveRun run = RunSaveList(window, {}, {});
    EXPECT_EQ(1, run.saveDialogs);
    EXPECT_EQ(1u, run.suggested.size());
    EXPECT_EQ(std::vector<std::string>{}, run.boxes);
}

TEST_F(SaveListTest, DialogStartsWithAllFilesLimitsColoursMnemonicsAndHelp)
{
    OpenWithFiles(1);
    HelpRecorder help;
    bool allChecked = false, selectedChecked = true;
    LRESULT prefixLimit = 0, suffixLimit = 0;
    INT_PTR brush = 0;
    COLORREF colour = 0;
    int mode = 0;
    std::vector<int> reached;
    DialogAnswerer answerer([&](HWND dialog) {
        // A label's mnemonic reaches the field it names.
        for (char key : {'f', 'p'})
        {
            MSG alt{dialog, WM_SYSCHAR, static_cast<WPARAM>(key), 0x20000000, 0, {}};
            IsDialogMessageA(dialog, &alt);
            reached.push_back(GetDlgCtrlID(GetFocus()));
        }
        allChecked = IsDlgButtonChecked(dialog, IDC_SAVE_LIST_ALL) == BST_CHECKED;
        selectedChecked = IsDlgButtonChecked(dialog, IDC_SAVE_LIST_SELECTED) == BST_CHECKED;
        prefixLimit = SendDlgItemMessageA(dialog, IDC_SAVE_PREFIX, EM_GETLIMITTEXT, 0, 0);
        suffixLimit = SendDlgItemMessageA(dialog, IDC_SAVE_SUFFIX, EM_GETLIMITTEXT, 0, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        brush = SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SAVE_LIST_ALL)));
        colour = GetTextColor(dc);
        mode = GetBkMode(dc);
        DeleteDC(dc);
        SendMessageA(dialog, WM_COMMAND, IDC_SAVE_LIST_HELP, 0);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageA(window, WM_COMMAND, IDM_SAVE_LIST, 0);
    EXPECT_EQ(1, answerer.Count());
    EXPECT_TRUE(allChecked);
    EXPECT_FALSE(selectedChecked);
    EXPECT_EQ(20, prefixLimit);
    EXPECT_EQ(300, suffixLimit);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE)), brush);
    EXPECT_EQ(RGB(0, 0, 160), colour);
    EXPECT_EQ(TRANSPARENT, mode);
    EXPECT_EQ((std::vector<int>{IDC_SAVE_SUFFIX, IDC_SAVE_PREFIX}), reached);
    ASSERT_EQ(1u, help.Calls().size());
    EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), help.Calls()[0].command);
    EXPECT_EQ(static_cast<ULONG_PTR>(IDD_SAVE_LIST), help.Calls()[0].data);
    EXPECT_EQ(ProgramFolder() + "\\ORVENNA.HLP", help.Calls()[0].file);
}

TEST_F(SaveListTest, RefusedDuringAScanOrOnAnEmptyList)
{
    Open();
    DialogAnswerer answerer([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    SendMessageA(window, WM_COMMAND, IDM_SAVE_LIST, 0);
    AddName(g_resultList, "C:\\X.DLL");
    g_scanning = 1;
    SendMessageA(window, WM_COMMAND, IDM_SAVE_LIST, 0);
    g_scanning = 0;
    EXPECT_EQ(0, answerer.Count());
}

} // namespace
