// QemOpenFileDlg and QemSaveFileDlg, answered by a hook that reads the offered file
// types, types a name into the dialog and presses its button.
#include "platform/qemcom95.h"
#include "tests/platform/platform_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

// Controls of the common file dialog's template (dlgs.h).
constexpr int kFileTypes = 0x470; // cmb1
constexpr int kFileName = 0x47C;  // cmb13

std::vector<std::string> OfferedTypes(HWND dialog)
{
    std::vector<std::string> types;
    LRESULT count = SendDlgItemMessageA(dialog, kFileTypes, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
    {
        char text[256] = "";
        SendDlgItemMessageA(dialog, kFileTypes, CB_GETLBTEXT, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(text));
        types.push_back(text);
    }
    return types;
}

struct Answer
{
    std::vector<std::string> types;
    std::string title;
    std::string suggested;
};

// Runs show with a hook that types name (or cancels when it is empty).
template <typename Show> Answer AnswerDialog(const std::string& name, int& dialogs, Show show)
{
    Answer answer;
    DialogAnswerer answerer([&](HWND dialog) {
        answer.types = OfferedTypes(dialog);
        answer.title = WindowText(dialog);
        answer.suggested = WindowText(GetDlgItem(dialog, kFileName));
        if (name.empty())
        {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        SetDlgItemTextA(dialog, kFileName, name.c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    show();
    dialogs = answerer.Count();
    return answer;
}

class FileDialogsTest : public testing::Test
{
protected:
    ScratchFolder folder_{"orv-file-dialogs"};
};

TEST_F(FileDialogsTest, SaveListGivesChosenPathWithListExtension)
{
    char path[MAX_PATH] = "*.lst";
    int result = -1, dialogs = 0;
    Answer answer = AnswerDialog(folder_ / "unlinked", dialogs,
                                 [&] { result = QemSaveFileDlg(nullptr, path, QEM_SAVE_LIST); });
    EXPECT_EQ(1, dialogs);
    EXPECT_EQ(1, result);
    EXPECT_EQ(folder_ / "unlinked.lst", path);
    ASSERT_FALSE(answer.types.empty());
    EXPECT_EQ("List files (*.lst)", answer.types[0]);
    EXPECT_EQ("*.lst", answer.suggested);
}

// WinZip adds to an archive that exists, so choosing one asks nothing more.
TEST_F(FileDialogsTest, SaveArchiveTakesExistingArchiveWithoutPrompt)
{
    WriteText(folder_ / "backup.zip", "PK");
    char path[MAX_PATH] = "*.zip";
    int result = -1, dialogs = 0;
    Answer answer = AnswerDialog(folder_ / "backup", dialogs,
                                 [&] { result = QemSaveFileDlg(nullptr, path, QEM_SAVE_ARCHIVE); });
    EXPECT_EQ(1, dialogs) << "no overwrite question";
    EXPECT_EQ(1, result);
    EXPECT_EQ(folder_ / "backup.zip", path);
    ASSERT_FALSE(answer.types.empty());
    EXPECT_EQ("ZIP archives (*.zip)", answer.types[0]);
}

TEST_F(FileDialogsTest, CancelLeavesBuffer)
{
    char path[MAX_PATH] = "*.lst";
    int result = -1, dialogs = 0;
    AnswerDialog("", dialogs, [&] { result = QemSaveFileDlg(nullptr, path, QEM_SAVE_LIST); });
    EXPECT_EQ(1, dialogs);
    EXPECT_EQ(0, result);
    EXPECT_STREQ("*.lst", path);
}

struct Locate
{
    int product;
    const char* program;
    const char* suggested;
};

// Each locate dialog offers its own program first; choosing it leaves the current
// directory alone, which a scan walking by relative moves relies on.
TEST_F(FileDialogsTest, OpenLocatesEachProgramAndKeepsCurrentDirectory)
{
    const Locate kinds[] = {
        {QEM_PRODUCT_WINZIP, "WINZIP32.EXE", "winzip.exe"},
        {QEM_PRODUCT_TAMBRIL, "TAMBRIL.EXE", "tambril.exe"},
        {QEM_PRODUCT_QUORSET, "QUORSET.EXE", "quorset.exe"},
    };
    char before[MAX_PATH], after[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    for (const Locate& kind : kinds)
    {
        std::string program = folder_ / kind.program;
        WriteText(program, "MZ");
        char path[MAX_PATH];
        lstrcpyA(path, kind.suggested);
        int result = -1, dialogs = 0;
        Answer answer =
            AnswerDialog(program, dialogs, [&] { result = QemOpenFileDlg(nullptr, path, kind.product); });
        EXPECT_EQ(1, result) << kind.program;
        EXPECT_EQ(program, path);
        EXPECT_EQ(kind.suggested, answer.suggested);
        ASSERT_FALSE(answer.types.empty()) << kind.program;
        EXPECT_NE(std::string::npos, answer.types[0].find(kind.suggested)) << answer.types[0];
        GetCurrentDirectoryA(sizeof after, after);
        EXPECT_STREQ(before, after) << kind.program;
    }
}

} // namespace
