/* Times Orvenna's window from another process of the same prefix, for the benchmark.
   Timing from inside the prefix matters: starting a Wine process to look at the window
   costs more than the quarter of a second that Stop is allowed.

     window_clock scan TIMEOUT LIST PROGRAM
         starts PROGRAM /S, waits until the status line shows the summary and prints
         "summary SECONDS TEXT"; then waits for a line on standard input (the caller
         samples the window's process meanwhile), writes the result list's items to LIST
         (UTF-8, one a line), closes the window and prints "items COUNT"
     window_clock stop DELAY TIMEOUT PROGRAM
         starts PROGRAM /S, sends Stop (command 915) DELAY seconds after the status line
         first shows text, and prints "stop SECONDS" when the status bar reads
         " Scanning interrupted.", or "finished" when the scan ended before the Stop

     window_clock desktop
         only makes sure the prefix's desktop runs, so that no timed run starts it

   Only standard messages cross processes, with their texts as UTF-16. A window that is
   scanning answers them only at its pump steps, so a read waits for the next one: that
   wait is part of what a user sees, and part of what this measures.
   Exit status 1 when the window does not appear or the time runs out, 2 for bad
   arguments. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

enum
{
    ID_STATUS_LINE = 350,
    ID_RESULT_LIST = 351,
    ID_STATUS_BAR = 589,
    IDM_STOP = 915,
    TEXT_SIZE = 1024
};

static const wchar_t kClassName[] = L"OrvennaWndClass95";
static const wchar_t kSummaryMark[] = L"possibly unlinked .DLLs listed.";
static const wchar_t kInterrupted[] = L" Scanning interrupted.";
static const wchar_t kCrossChecking[] = L" Cross checking";

static LARGE_INTEGER g_frequency;

static double Now(void)
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart / (double)g_frequency.QuadPart;
}

/* Reads a child's text; an empty text when the window did not answer within a second. */
static void GetChildText(HWND window, int id, wchar_t* text)
{
    DWORD_PTR copied = 0;
    text[0] = 0;
    HWND child = GetDlgItem(window, id);
    if (child)
        SendMessageTimeoutW(child, WM_GETTEXT, TEXT_SIZE, (LPARAM)text, SMTO_NORMAL, 1000, &copied);
    text[TEXT_SIZE - 1] = 0;
}

static int StartProgram(const char* program, PROCESS_INFORMATION* process)
{
    char command[MAX_PATH + 8];
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (snprintf(command, sizeof command, "\"%s\" /S", program) >= (int)sizeof command)
        return 0;
    return CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, process);
}

static HWND WaitForWindow(double deadline)
{
    HWND window = NULL;
    while (!(window = FindWindowW(kClassName, NULL)) && Now() < deadline)
        Sleep(5);
    return window;
}

static void PrintUtf8(FILE* out, const wchar_t* text)
{
    char bytes[TEXT_SIZE * 3];
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL);
    fprintf(out, "%s", size > 0 ? bytes : "");
}

static long WriteListItems(HWND window, const char* listPath)
{
    HWND list = GetDlgItem(window, ID_RESULT_LIST);
    FILE* out = fopen(listPath, "wb");
    long count = list ? (long)SendMessageW(list, LB_GETCOUNT, 0, 0) : -1;
    if (!out)
        return -1;
    for (long i = 0; i < count; ++i)
    {
        wchar_t item[TEXT_SIZE] = {0};
        if (SendMessageW(list, LB_GETTEXTLEN, (WPARAM)i, 0) >= TEXT_SIZE)
            continue;
        SendMessageW(list, LB_GETTEXT, (WPARAM)i, (LPARAM)item);
        PrintUtf8(out, item);
        fprintf(out, "\n");
    }
    fclose(out);
    return count;
}

static void CloseProgram(HWND window, PROCESS_INFORMATION* process)
{
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process->hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(process->hProcess, 1);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
}

static int TimeScan(double timeout, const char* listPath, const char* program)
{
    PROCESS_INFORMATION process;
    wchar_t text[TEXT_SIZE];
    double start = Now(), deadline = start + timeout;
    if (!StartProgram(program, &process))
        return 1;
    HWND window = WaitForWindow(deadline);
    int found = 0;
    while (window && !found && Now() < deadline)
    {
        GetChildText(window, ID_STATUS_LINE, text);
        found = wcsstr(text, kSummaryMark) != NULL;
        /* Each look costs the window a message; once the walk is over the summary is
           near, and a look every 50 ms would add up to 50 ms to what is measured. */
        if (!found)
            Sleep(wcsncmp(text, kCrossChecking, wcslen(kCrossChecking)) == 0 ? 1 : 50);
    }
    if (found)
    {
        printf("summary %.3f ", Now() - start);
        PrintUtf8(stdout, text);
        printf("\n");
    }
    else
    {
        /* The window refuses to close while it scans. */
        printf("timeout %.3f\n", Now() - start);
        if (window)
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_STOP, 0), 0);
    }
    fflush(stdout);
    if (found)
    {
        char line[16];
        if (!fgets(line, sizeof line, stdin))
            line[0] = 0;
        printf("items %ld\n", WriteListItems(window, listPath));
    }
    if (window)
        CloseProgram(window, &process);
    else
        TerminateProcess(process.hProcess, 1);
    return found ? 0 : 1;
}

static int TimeStop(double delay, double timeout, const char* program)
{
    PROCESS_INFORMATION process;
    wchar_t text[TEXT_SIZE];
    double deadline = Now() + timeout;
    if (!StartProgram(program, &process))
        return 1;
    HWND window = WaitForWindow(deadline);
    if (!window)
    {
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    GetChildText(window, ID_STATUS_LINE, text);
    while (!text[0] && Now() < deadline)
    {
        Sleep(5);
        GetChildText(window, ID_STATUS_LINE, text);
    }
    Sleep((DWORD)(delay * 1000));
    GetChildText(window, ID_STATUS_LINE, text);
    int result = 1;
    if (wcsstr(text, kSummaryMark))
    {
        printf("finished\n");
        result = 0;
    }
    else
    {
        double sent = Now();
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_STOP, 0), 0);
        for (;;)
        {
            GetChildText(window, ID_STATUS_BAR, text);
            if (wcscmp(text, kInterrupted) == 0)
            {
                printf("stop %.3f\n", Now() - sent);
                result = 0;
                break;
            }
            if (Now() > deadline)
            {
                printf("timeout\n");
                break;
            }
            Sleep(1);
        }
    }
    fflush(stdout);
    CloseProgram(window, &process);
    return result;
}

int main(int argc, char** argv)
{
    QueryPerformanceFrequency(&g_frequency);
    if (argc == 5 && strcmp(argv[1], "scan") == 0)
        return TimeScan(atof(argv[2]), argv[3], argv[4]);
    if (argc == 5 && strcmp(argv[1], "stop") == 0)
        return TimeStop(atof(argv[2]), atof(argv[3]), argv[4]);
    if (argc == 2 && strcmp(argv[1], "desktop") == 0)
        return GetDesktopWindow() && FindWindowW(kClassName, NULL) == NULL ? 0 : 1;
    fprintf(stderr, "usage: window_clock scan TIMEOUT LIST PROGRAM | stop DELAY TIMEOUT PROGRAM | desktop\n");
    return 2;
}
