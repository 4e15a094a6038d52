#include <windows.h>

#include <string>

#include "engine/engine.h"
#include "engine/link_graph.h"
#include "engine/name_list.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/qemcom95.h"
#include "results/results.h"
#include "settings/settings.h"

// A listed file's size as the common library gives it: a file of 4 GB or more counts
// 0xFFFFFFFF bytes. Right at the end of a scan the walk's listing knows it: asking the
// platform by an 8.3 path would make it go through the file's directory.
static bool ListedSize(const char* path, DWORD& size)
{
    std::uint64_t listed = 0;
    if (g_scanning && RecallListedSize(path, listed))
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

static std::string SummaryText()
{
    std::uint64_t total;
    TotalListedBytes(g_resultList, total);
    return FormatSummaryLine(GetCount(g_resultList), total);
}

void UpdateSummaryLine(HWND)
{
    SetStatusLineText(SummaryText().c_str());
}

std::string ScanEndNotes()
{
    std::string notes;
    if (g_scanInputs.storedListPassedOver)
        notes += " The stored filter list selects no program; the default list was used.";
    if (g_unreadEntries > 0)
        notes += " " + std::to_string(g_unreadEntries) +
                 " folders or files could not be read; DLLs they link to may be listed.";
    return notes;
}

void ReportScanEnd(HWND, int finished)
{
    if (finished)
    {
        SetStatusLineText((SummaryText() + ScanEndNotes()).c_str());
        // One line that fits the status bar of a window of its first size.
        const std::string note = HostRootDrivesNote();
        SetStatusText(
            (" Done." +
             (note.empty() ? note : " " + note + " (orvscan --drives " + DrivesWithHostRoots() + ")."))
                .c_str());
    }
    else
    {
        SetStatusText(" Scanning interrupted.");
        Clear(g_resultList);
    }
}
