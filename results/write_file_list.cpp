#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/qemcom95.h"
#include "platform/scoped_handle.h"
#include "results/results.h"

namespace
{

// Text mode: every line ends with CR LF. False when a write failed.
bool WriteItems(FILE* file, HWND list, bool allItems, const char* prefix, const char* suffix)
{
    int count = GetCount(g_resultList);
    for (int i = 0; i < count; ++i)
    {
        if (!allItems && SendMessageA(list, LB_GETSEL, static_cast<WPARAM>(i), 0) <= 0)
            continue;
        std::string line = FormatListLine(prefix, NameAt(g_resultList, i), suffix);
        line += '\n';
        if (fputs(line.c_str(), file) == EOF)
            return false;
    }
    return true;
}

} // namespace

HWND g_resultListWindow = nullptr;

int WriteFileList(HWND owner, int mode, bool allItems, const char* prefix, const char* suffix)
{
    bool archive = mode == QEM_SAVE_ARCHIVE;
    char path[MAX_PATH];
    lstrcpyA(path, archive ? "*.zip" : "*.lst");
    if (!QemSaveFileDlg(owner, path, mode))
        return 0;
    std::string archiveName;
    if (archive)
    {
        archiveName = path;
        lstrcpyA(path, kWinZipListPath);
    }
    StreamHandle file(fopen(path, "w"));
    if (!file)
    {
        QemError(QEM_ERR_OUTPUT_OPEN);
        return 0;
    }
    // A list cut short by a full disk must not pass for the whole one: the user's next
    // step is often to delete what it lists. What is still buffered is flushed on its
    // own: this runtime's close answers success when its flush failed.
    bool written =
        WriteItems(file.get(), g_resultListWindow, allItems, prefix, suffix) && fflush(file.get()) == 0;
    written = fclose(file.release()) == 0 && written;
    if (!written)
    {
        DeleteFileA(path);
        QemError(QEM_ERR_OUTPUT_OPEN);
        return 0;
    }
    if (!archive)
        return 1;
    return StartWinZip(owner, archiveName.c_str());
}
