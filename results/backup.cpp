#include <windows.h>

#include <string>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "results/command_line.h"
#include "results/results.h"
#include "settings/settings.h"

namespace
{

constexpr char kWinZipValue[] = "WinZip";

bool RunWinZip(const char* program, const char* archive)
{
    std::string command = FormatWinZipCommand(program, archive, kWinZipListPath);
    return WinExec(command.c_str(), SW_SHOWNORMAL) >= 32;
}

} // namespace

int StartWinZip(HWND owner, const char* archive)
{
    // Read one byte short of the buffer: a value that fills it still ends in a
    // terminator.
    char program[MAX_PATH] = "WINZIP.EXE";
    QemReadRegEntry(kPreferencesSection, kWinZipValue, program, MAX_PATH - 1, QEM_PRODUCT_ORVENNA);
    if (RunWinZip(program, archive))
        return 1;

    lstrcpyA(program, "winzip.exe");
    if (!QemOpenFileDlg(owner, program, QEM_PRODUCT_WINZIP))
    {
        DeleteFileA(kWinZipListPath);
        return WriteBackupArchive(owner, archive);
    }
    // Stored before the second try: the user chose it, whether or not it starts.
    QemSaveRegEntry(kPreferencesSection, kWinZipValue, program, lstrlenA(program), QEM_PRODUCT_ORVENNA);
    if (RunWinZip(program, archive))
        return 1;
    QemError(QEM_ERR_WINZIP_START);
    DeleteFileA(kWinZipListPath);
    return 0;
}

void BackupSelectedFiles(HWND mainWindow)
{
    if (g_scanning || GetCount(g_resultList) == 0)
        return;
    if (SendMessageA(ResultListBox(), LB_GETSELCOUNT, 0, 0) <= 0)
    {
        QemInfo(QEM_INFO_NO_SELECTION);
        return;
    }
    WriteFileList(mainWindow, QEM_SAVE_ARCHIVE, false, nullptr, nullptr);
}
