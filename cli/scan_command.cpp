#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli.h"
#include "engine/engine.h"
#include "engine/name_collation.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/scoped_handle.h"
#include "results/results.h"

namespace
{

// Set by the console's control handler, which runs on a thread of its own; the stop
// itself is made on the scan's thread, at its next pump step, as Stop is in the window.
volatile LONG s_stopRequested = 0;
bool s_interrupted = false;
// While the list is written to a file: a stop then is heard once the write ends, so
// that the partial file can be removed rather than left to pass for the whole list.
volatile LONG s_writingList = 0;

BOOL WINAPI OnConsoleControl(DWORD type)
{
    if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && (g_scanning || s_writingList))
    {
        InterlockedExchange(&s_stopRequested, 1);
        return TRUE;
    }
    return FALSE;
}

void CarryOutStopRequest()
{
    if (InterlockedExchange(&s_stopRequested, 0) && g_scanning)
    {
        s_interrupted = true;
        EndScan();
    }
}

// The result list in the saved-list format.
bool WriteResultList(const ScanOptions& options, std::FILE* out)
{
    const char* prefix = options.prefixGiven ? options.prefix.c_str() : nullptr;
    const char* suffix = options.suffixGiven ? options.suffix.c_str() : nullptr;
    ListWriter writer(out);
    int count = GetCount(g_resultList);
    for (int i = 0; i < count; i++)
        writer.Add(FormatListLine(prefix, NameAt(g_resultList, i), suffix) + kLineEnd);
    return writer.Finish();
}

// A relative name is taken against the directory orvscan started in: the scan moves
// the current directory from folder to folder.
std::string FullPath(const std::string& path)
{
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full, length) : path;
}

// Whether the list file can be created, asked before a scan that may take minutes; a
// file made only to ask is removed again.
bool CanCreate(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    CloseHandle(file);
    if (!existed)
        DeleteFileA(path.c_str());
    return true;
}

int CannotWrite(const std::string& path)
{
    std::fprintf(stderr, "orvscan: cannot write the list to %s\n", path.c_str());
    return EXIT_FAILED;
}

} // namespace

bool ScanMachine(const ScanInputs& inputs, std::uint64_t& total)
{
    // Listed as the window lists them: a sorted list box takes the user's locale.
    OrderAsSortedListBox(g_resultList, GetUserDefaultLCID());
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    g_feedbackSink.pump = CarryOutStopRequest;
    BeginProgress();
    BeginScan(inputs);
    int finished = RunScan(nullptr) && !s_interrupted;
    // Summed while the scan still knows the listed files' sizes.
    total = 0;
    if (finished)
    {
        TotalListedBytes(g_resultList, total);
        SetStatusText(" Done.");
    }
    else
        Clear(g_resultList);
    EndScan();
    EndProgress();
    g_feedbackSink.pump = nullptr;
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);

    if (!finished)
    {
        std::fputs("Scanning interrupted.\n", stderr);
        return false;
    }
    // The notes hold for why's answers as much as for the list. One write each:
    // formatted output to the unbuffered error stream goes out a character at a time.
    for (const UnreadLinkNote& note : FormatUnreadLinkNotes(g_unreadLinks))
        std::fputs(
            (note.text + (note.fullScanReads ? ". Use --modern or --full.\n" : ". Use --modern.\n")).c_str(),
            stderr);
    if (g_leftOut64BitDlls > 0)
        std::fputs(
            (FormatLeftOut64BitCount(g_leftOut64BitDlls) + "; --64-bit lists and reads them.\n").c_str(),
            stderr);
    if (const std::string notes = ScanEndNotes(); !notes.empty())
        std::fputs((notes.substr(1) + "\n").c_str(), stderr);
    const std::string hostRootNote = HostRootDrivesNote();
    if (!hostRootNote.empty())
        std::fputs((hostRootNote + "; --drives " + DrivesWithHostRoots() + " walks it too.\n").c_str(),
                   stderr);
    return true;
}

int RunScanCommand(const ScanOptions& options)
{
    const std::string output = options.output.empty() ? std::string() : FullPath(options.output);
    if (!output.empty() && !CanCreate(output))
        return CannotWrite(output);
    std::uint64_t total = 0;
    if (!ScanMachine(ScanInputsFor(options), total))
        return EXIT_INTERRUPTED;

    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    auto write = [&](std::FILE* out) {
        return options.format == ListFormat::Plain ? WriteResultList(options, out)
                                                   : WriteListRecords(options.format, out);
    };
    if (output.empty())
        write(stdout);
    else
    {
        InterlockedExchange(&s_stopRequested, 0);
        InterlockedExchange(&s_writingList, 1);
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
        StreamHandle out(std::fopen(output.c_str(), "wb"));
        bool written = out && write(out.get());
        const bool opened = out != nullptr;
        if (opened)
            written = std::fclose(out.release()) == 0 && written;
        const bool stopped = InterlockedExchange(&s_stopRequested, 0) != 0;
        // No part of a list stays behind to pass for the whole one.
        if (opened && (!written || stopped))
            DeleteFileA(output.c_str());
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        InterlockedExchange(&s_writingList, 0);
        if (stopped)
        {
            std::fputs("Scanning interrupted.\n", stderr);
            return EXIT_INTERRUPTED;
        }
        if (!written)
            return CannotWrite(output);
    }
    // Records are for scripts: the summary would only be one more line to skip.
    if (options.format == ListFormat::Plain)
        std::printf("%s%s", FormatSummaryLine(GetCount(g_resultList), total).c_str(), kLineEnd);
    return EXIT_OK;
}
