#include <windows.h>

#include <string>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "results/command_line.h"
#include "results/results.h"
#include "settings/settings.h"

// WinZip's location is one of Orvenna's preferences; the locate dialog is WinZip's own.
static constexpr LocatedProgram kWinZip = {kPreferencesSection, "WinZip",           QEM_PRODUCT_ORVENNA,
                                           "WINZIP.EXE",        QEM_PRODUCT_WINZIP, "winzip.exe"};

int StartWinZip(HWND owner, const char* archive)
{
    const int started = StartLocatedProgram(owner, kWinZip, [&](const char* program) {
        return FormatWinZipCommand(program, archive, kWinZipListPath);
    });
    if (started == 1)
        return 1;
    DeleteFileA(kWinZipListPath);
    if (started == 0)
        return WriteBackupArchive(owner, archive);
    QemError(QEM_ERR_WINZIP_START);
    return 0;
}

void BackupSelectedFiles(HWND mainWindow)
{
    if (g_scanning || GetCount(g_resultList) == 0)
        return;
    if (SendMessageA(g_resultListWindow, LB_GETSELCOUNT, 0, 0) <= 0)
    {
        QemInfo(QEM_INFO_NO_SELECTION);
        return;
    }
    WriteFileList(mainWindow, QEM_SAVE_ARCHIVE, false, nullptr, nullptr);
}
