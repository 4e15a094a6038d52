// Results and file actions: the result list's summary and the actions on listed files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "results/summary_format.h"

struct NameList;

// draw_result_item.cpp
// Draws one item of the result list for WM_DRAWITEM: the library's list-item symbol,
// then the name (in lower case while Show Lowercase File Names is on) on light grey;
// a selected item is inverted from the symbol's right edge on. 0 when the item has no
// text, and nothing is drawn.
int DrawResultItem(const DRAWITEMSTRUCT& item);

// held_result_list.cpp
// Around a scan in the window: the result list is drawn only when it is asked to
// repaint and by the pump step, once a second (its items drawn again then only when its
// page changed), and by the message loop when the scan ends; its caret and anchor are
// moved only before a message is handled.
void HoldResultListDrawing(HWND mainWindow);
// The pump step's share: shows the held list when a second has passed.
void ShowHeldResultListWhenDue();
void ReleaseResultListDrawing();

// summary_line.cpp
// The total size of the files the list names, in 64 bits: a modern machine's listed
// DLLs easily pass 4 GB. A file that can no longer be read counts for nothing.
int TotalListedBytes(const NameList& list, std::uint64_t& total);
// Writes the summary line of the result list into the status line.
void UpdateSummaryLine(HWND mainWindow);
// After RunScan: the summary line and " Done." for a finished scan; for an
// interrupted one " Scanning interrupted." and an empty result list.
void ReportScanEnd(HWND mainWindow, int finished);

// File actions on the result list. Each refuses to run during a scan or on an empty
// list, as their menu items are grey then.

// The list file that Backup hands to WinZip; deleted when the main window closes.
inline constexpr char kWinZipListPath[] = "C:\\ORVENZIP.131";

// delete_files.cpp
// Command 922: after two confirmations, deletes the selected files in list order (to
// the Recycle Bin while g_deleteToRecycleBin is on) and takes each deleted one out of
// the list; a file that cannot be deleted stays listed
// and selected. Then the summary line and "Deleted %d file(s).".
void DeleteSelectedFiles(HWND mainWindow);

// write_file_list.cpp
// The list box 351 of the main window, made and forgotten by the shell, whose selection
// the file actions read; the store g_resultList holds the same items at the same indexes.
extern HWND g_resultListWindow;
// Writes the result list's items (all, or only the selected ones) to a file chosen
// in the save dialog, one a line. mode QEM_SAVE_LIST: the chosen file, each line the
// prefix and a blank, the path, a blank and the suffix (null texts: left out with
// their blank). mode QEM_SAVE_ARCHIVE: the chosen name is the archive; the paths go
// to kWinZipListPath, then WinZip is started. Nonzero on success; 0 when nothing was
// chosen, the file could not be made, or WinZip did not start.
int WriteFileList(HWND owner, int mode, bool allItems, const char* prefix, const char* suffix);

// save_list.cpp
// Command 920: the Save List As dialog (5012).
void SaveListAs(HWND mainWindow);

// backup.cpp
// Command 921: the selected files into a ZIP archive through WinZip's command line.
void BackupSelectedFiles(HWND mainWindow);
// Starts WinZip to add the files of kWinZipListPath to archive: the stored location
// (value WinZip), else "WINZIP.EXE"; on failure the user locates the program once,
// and that location is stored. 1 when started; 0 otherwise, and the list file is gone.
// When the user cancels locating it, Orvenna writes the archive itself instead.
int StartWinZip(HWND owner, const char* archive);

// backup_archive.cpp
// The selected files into a new ZIP archive written by Orvenna, each under its long
// path without the drive; a file that cannot be read is left out and counted. Then
// "Backed up %d file(s) to %s." on the status bar. An existing file of that name is
// never overwritten; a failed write removes the partial archive and shows message
// 6013. 1 when the archive was written.
int WriteBackupArchive(HWND owner, const char* archive);
// The same without the window: paths into a new archive. 1 when written; 0 when it
// could not be made or written to the end (and it is gone); -1 when a file of that
// name exists.
int WriteZipArchive(const char* archive, const std::vector<std::string>& paths, int& added, int& skipped);

// version_pane.cpp
// The current item of the result list (the one with the caret) and its text; false
// when there is none.
bool ReadCurrentResult(HWND resultList, LRESULT& index, std::string& path);
// Fills the version list for path: the file's version record, then the line that
// says what the last scan found linking to it.
void ShowVersionInformation(HWND versionList, const std::string& path);
// That last line alone, fitted to the width the list has now.
void AddLinkedFromLine(HWND versionList, const std::string& path);

// located_program.cpp
// A program Orvenna starts that the user may have to locate: where its location is
// stored, under which product's key, and what the locate dialog offers.
struct LocatedProgram
{
    const char* section; // the stored location's section and value
    const char* value;
    int keyProduct;        // the product whose registry key holds it
    const char* name;      // tried first, along the program search path, while none is stored
    int dialogKind;        // the locate dialog's product
    const char* suggested; // offered by the locate dialog
};
// The command line that starts the program at a location.
using LocatedCommandLine = std::function<std::string(const char* location)>;
// Starts the program from its stored location (or by its name); when that fails, from
// where the user locates it, stored whether or not it then starts. 1 when it started;
// 0 when the user cancelled the locate dialog; -1 when the located program did not
// start either.
int StartLocatedProgram(HWND owner, const LocatedProgram& program, const LocatedCommandLine& commandLine);

// companion_tools.cpp
// Commands 832 and 940: the current file handed to TAMBRIL.EXE or QUORSET.EXE. A tool
// that does not start is located once by the user, and its location stored. They work
// during a scan too, and do nothing on an empty list.
void CheckFunctionCalls(HWND mainWindow);
void CheckLinksToOtherModules(HWND mainWindow);
