#include <windows.h>

#include "engine/library_links.h"
#include "engine/name_list.h"
#include "engine/scan_memory.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/qemcom95.h"
#include "results/results.h"

// A listed file's size as the common library gives it: a file of 4 GB or more counts
// 0xFFFFFFFF bytes. Right at the end of a scan the walk's listing knows it: asking the
// platform by an 8.3 path would make it go through the file's directory.
static bool ListedSize(const char* path, DWORD& size)
{
    std::uint64_t listed = 0;
    if (g_scanning && RecallListedSize(g_scanMemory.libraries, path, listed))
    {
        size = listed > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(listed);
        return true;
    }
    char date[20], time[20];
    return QemGetDateTimeSize(path, date, time, &size) != 0;
}

int TotalListedBytes(const NameList& list, std::uint64_t& total)
{
    total = 0;
    int count = GetCount(list);
    for (int i = 0; i < count; i++)
    {
        char path[MAX_PATH];
        DWORD size = 0;
        if (GetName(list, i, path) >= 0 && ListedSize(path, size))
            total += size;
    }
    return 1;
}

void UpdateSummaryLine(HWND)
{
    std::uint64_t total;
    TotalListedBytes(g_resultList, total);
    SetStatusLineText(FormatSummaryLine(GetCount(g_resultList), total).c_str());
}

void ReportScanEnd(HWND mainWindow, int finished)
{
    if (finished)
    {
        UpdateSummaryLine(mainWindow);
        SetStatusText(" Done.");
    }
    else
    {
        SetStatusText(" Scanning interrupted.");
        Clear(g_resultList);
    }
}
