#include <windows.h>

#include "engine/name_list.h"
#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "results/results.h"
#include "shell/feedback.h"

int TotalListedBytes(const NameList& list, std::uint64_t& total)
{
    total = 0;
    int count = GetCount(list);
    for (int i = 0; i < count; i++)
    {
        char path[MAX_PATH];
        char date[20], time[20];
        DWORD size = 0;
        if (GetName(list, i, path) >= 0 && QemGetDateTimeSize(path, date, time, &size))
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
