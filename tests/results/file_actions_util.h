// Helpers of the file actions' tests: the main window over a result list of real
// scratch files, named by their short paths as a scan lists them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/platform/platform_test_util.h"
#include "tests/shell/window_test_util.h"

// The fixture: count files in a scratch folder whose path holds a blank (so that
// every quoting rule is exercised), listed by their short paths, and the window
// opened over them. The WinZip list file is removed before and after.
class FileActionsTest : public MainWindowTest
{
protected:
    void OpenWithFiles(int count);
    // Selects exactly the items at these indexes.
    void Select(const std::vector<int>& indexes);
    std::vector<int> SelectedIndexes() const;
    std::vector<std::string> Listed() const;
    void SetUp() override;
    void TearDown() override;

    ScratchFolder folder_{"orv file actions"};
    std::vector<std::string> files_; // short paths, in list order
};

std::string ShortPath(const std::string& path);
bool FileExists(const std::string& path);
// The common library's text for a message number, as its boxes show it.
std::string MessageText(int number);
// The text of a message box: its longest static.
std::string BoxText(HWND box);
// The common file dialog's file name field and what it was opened with.
std::string SuggestedFileName(HWND dialog);
bool IsFileDialog(HWND dialog);
// Types name into a common file dialog and presses its button; an empty name cancels.
void AnswerFileDialog(HWND dialog, const std::string& name);
// Answers a common file dialog with the first of names, taken off the list (none left:
// cancels it), and gives the name typed ("" when it cancelled).
std::string AnswerFileDialogWithNext(HWND dialog, std::vector<std::string>& names);
