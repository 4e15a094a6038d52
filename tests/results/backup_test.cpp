// Backup (command 921) through a stand-in for WinZip, built with the tests, that
// writes the command line it was started with beside itself: found at once, found
// after locating, a stored location that is gone, a program that cannot start; and,
// locating cancelled, the archive Orvenna writes itself. The file dialogs and boxes are answered by a hook.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/results.h"
#include "tests/results/file_actions_util.h"

namespace
{

// What the dialogs showed while they were answered.
struct BackupRun
{
    std::vector<std::string> suggested; // the file dialogs' names on opening, in order
    std::vector<std::string> boxes;     // texts of the message boxes
};

class BackupTest : public FileActionsTest
{
protected:
    void SetUp() override
    {
        FileActionsTest::SetUp();
        DeleteFileA(searchPathZip_.c_str());
        CreateDirectoryA(installed_.c_str(), nullptr);
    }
    void TearDown() override
    {
        DeleteFileA(searchPathZip_.c_str());
        FileActionsTest::TearDown();
    }

    // Puts the stand-in at path; its command line appears beside it, in path + ".txt".
    static void Install(const std::string& path)
    {
        ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\command_line_recorder.exe").c_str(), path.c_str(), FALSE))
            << path;
    }

    // The command line the stand-in at program was started with; empty when it was not
    // started within a few seconds.
    static std::string StartedCommand(const std::string& program)
    {
        std::string record = program + ".txt";
        for (int wait = 0; wait < 200 && !FileExists(record); ++wait)
            Sleep(50);
        std::string command = ReadText(record);
        DeleteFileA(record.c_str());
        return command;
    }

    // Runs command 921; each file dialog takes the next of names (none left or
    // empty: cancel), each message box OK.
    BackupRun RunBackup(std::vector<std::string> names)
    {
        BackupRun run;
        DialogAnswerer answerer([&](HWND dialog) {
            if (IsFileDialog(dialog))
            {
                run.suggested.push_back(SuggestedFileName(dialog));
                AnswerFileDialogWithNext(dialog, names);
                return;
            }
            run.boxes.push_back(BoxText(dialog));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        SendMessageA(window, WM_COMMAND, IDM_BACKUP, 0);
        return run;
    }

    std::string Expected(const std::string& program) const
    {
        return program + " -a -P -ex \"" + archive_ + "\" @C:\\ORVENZIP.131";
    }

    // The folder of the fixture's files holds a blank, so the archive is quoted.
    std::string archive_ = folder_ / "dlls.zip";
    // Where WinExec finds a bare "WINZIP.EXE": the folder of the test program.
    std::string searchPathZip_ = ProgramFolder() + "\\WINZIP.EXE";
    std::string installed_ = folder_ / "Program Files";
};

TEST_F(BackupTest, BareNameStartsWinZipOnTheSearchPath)
{
    OpenWithFiles(5);
    Install(searchPathZip_);
    Select({1, 3});
    BackupRun run = RunBackup({folder_ / "dlls"});
    EXPECT_EQ(std::vector<std::string>{"*.zip"}, run.suggested);
    EXPECT_EQ(std::vector<std::string>{}, run.boxes);
    EXPECT_EQ(Expected("WINZIP.EXE"), StartedCommand(searchPathZip_));
    EXPECT_EQ(files_[1] + "\r\n" + files_[3] + "\r\n", ReadText(kWinZipListPath))
        << "the list file stays for WinZip";
    EXPECT_EQ("(absent)", StoredText("WinZip"));
}

// Without WinZip, Orvenna writes the archive: the selected files that can be read,
// under their long paths without the drive. zip_check.py then reads it with unzip and
// Python's zipfile (the files are staged under kCheckFolder for it).
TEST_F(BackupTest, CancelledLocatingWritesTheArchiveItself)
{
    OpenWithFiles(3);
    Select({0, 1, 2});
    ASSERT_TRUE(DeleteFileA(files_[1].c_str()));
    BackupRun run = RunBackup({folder_ / "dlls"});
    EXPECT_EQ((std::vector<std::string>{"*.zip", "winzip.exe"}), run.suggested);
    EXPECT_EQ(std::vector<std::string>{}, run.boxes) << "no message";
    EXPECT_FALSE(FileExists(kWinZipListPath));
    EXPECT_EQ("(absent)", StoredText("WinZip"));
    EXPECT_EQ("Backed up 2 file(s) to " + archive_ + "; 1 could not be read.", StatusBarText(window));

    const std::string check = "C:\\orvbackupcheck";
    std::string expected;
    for (int i : {0, 2})
    {
        char longPath[MAX_PATH];
        ASSERT_GT(GetLongPathNameA(files_[i].c_str(), longPath, MAX_PATH), 0u);
        std::string name = longPath + 3; // without "C:\\"
        std::string copy = check + "\\root\\" + name;
        SHCreateDirectoryExA(nullptr, copy.substr(0, copy.rfind('\\')).c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(files_[i].c_str(), copy.c_str(), FALSE)) << copy;
        std::replace(name.begin(), name.end(), '\\', '/');
        expected += name + "\n";
    }
    ASSERT_TRUE(CopyFileA(archive_.c_str(), (check + "\\dlls.zip").c_str(), FALSE));
    WriteText(check + "\\dlls.zip.expected", expected);
}

// The archive named after one of the selected files: nothing is overwritten.
TEST_F(BackupTest, WithoutWinZipAnExistingFileIsNeverOverwritten)
{
    OpenWithFiles(2);
    Select({0, 1});
    BackupRun run = RunBackup({files_[0], ""});
    ASSERT_EQ(1u, run.boxes.size());
    EXPECT_NE(std::string::npos, run.boxes[0].find("already exists")) << run.boxes[0];
    EXPECT_EQ(std::string(100, 'x'), ReadText(files_[0]));
}

// Locating, storing and starting are the companion tools' as well, and tested there:
// here WinZip's own share. The located file is no program: message 6018, the list file
// goes, the location stays stored under Orvenna's key.
TEST_F(BackupTest, LocatedProgramThatCannotStartShowsMessage6018)
{
    OpenWithFiles(1);
    std::string program = installed_ + "\\WINZIP32.EXE";
    WriteText(program, "not a program");
    Select({0});
    BackupRun run = RunBackup({folder_ / "dlls", program});
    EXPECT_EQ(std::vector<std::string>{MessageText(QEM_ERR_WINZIP_START)}, run.boxes);
    EXPECT_FALSE(FileExists(kWinZipListPath));
    EXPECT_EQ(program, StoredText("WinZip"));
}

// The list file held open without sharing cannot be made: message 6013, and WinZip
// is not started.
TEST_F(BackupTest, ListFileThatCannotBeMadeShowsMessage6013)
{
    OpenWithFiles(1);
    Install(searchPathZip_);
    WriteText(kWinZipListPath, "keep");
    HANDLE held = CreateFileA(kWinZipListPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Select({0});
    BackupRun run = RunBackup({folder_ / "dlls"});
    CloseHandle(held);
    EXPECT_EQ(std::vector<std::string>{MessageText(QEM_ERR_OUTPUT_OPEN)}, run.boxes);
    EXPECT_EQ("keep", ReadText(kWinZipListPath));
    Sleep(500);
    EXPECT_FALSE(FileExists(searchPathZip_ + ".txt")) << "WinZip not started";
}

// Run with the list file a link to the kernel's full device (see SaveListTest).
TEST_F(BackupTest, OnAFullDiskShowsMessage6013AndDoesNotStartWinZip)
{
    OpenWithFiles(2);
    Install(searchPathZip_);
    Select({0, 1});
    BackupRun run = RunBackup({folder_ / "dlls"});
    EXPECT_EQ(std::vector<std::string>{MessageText(QEM_ERR_OUTPUT_OPEN)}, run.boxes);
    Sleep(500);
    EXPECT_FALSE(FileExists(searchPathZip_ + ".txt")) << "WinZip not started";
}

TEST_F(BackupTest, NothingSelectedShowsMessage6014AndWritesNothing)
{
    OpenWithFiles(2);
    Select({});
    BackupRun run = RunBackup({folder_ / "dlls"});
    EXPECT_EQ(std::vector<std::string>{MessageText(QEM_INFO_NO_SELECTION)}, run.boxes);
    EXPECT_EQ(0u, run.suggested.size());
    EXPECT_FALSE(FileExists(kWinZipListPath));
}

TEST_F(BackupTest, CancelledArchiveDialogWritesNothing)
{
    OpenWithFiles(1);
    Install(searchPathZip_);
    Select({0});
    BackupRun run = RunBackup({});
    EXPECT_EQ(1u, run.suggested.size());
    EXPECT_FALSE(FileExists(kWinZipListPath));
}

TEST_F(BackupTest, ClosingTheWindowRemovesTheListFile)
{
    OpenWithFiles(1);
    WriteText(kWinZipListPath, "C:\\A.DLL\r\n");
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(FileExists(kWinZipListPath));
}

} // namespace
