#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli.h"
#include "engine/name_list.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"

namespace
{

struct Progress
{
    bool terminal = false;
    int width = 80;
    long filesExamined = 0;
    long linksChecked = 0;
    std::string phase;
    DWORD lastShown = 0;
    bool lineOpen = false;
    int previousMode = -1; // of the error stream, given back at the end
};

Progress s_progress;

// How often the progress is shown: often enough to look alive on a terminal, seldom
// enough not to flood a log.
constexpr DWORD kTerminalInterval = 100;
constexpr DWORD kLogInterval = 10000;

bool StartsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

std::string Trimmed(const char* text)
{
    std::string s(text);
    std::size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

std::string Counts()
{
    std::string counts = std::to_string(s_progress.filesExamined) + " files examined, " +
                         std::to_string(GetCount(g_resultList)) + " DLLs on the list";
    if (s_progress.linksChecked)
        counts += ", " + std::to_string(s_progress.linksChecked) + " links checked";
    return counts;
}

// The line in columns - 1 characters (the last column would move the cursor to the
// next line), cut after a word with "..." when it is longer.
std::string FittedLine(const std::string& line, int columns)
{
    const std::size_t room = static_cast<std::size_t>(columns - 1);
    if (line.size() <= room)
        return line;
    std::size_t cut = line.rfind(' ', room - 3);
    if (cut == std::string::npos || cut == 0)
        cut = room - 3;
    std::string fitted = line.substr(0, cut);
    while (!fitted.empty() && std::strchr(" ,-", fitted.back()))
        fitted.pop_back();
    return fitted + "...";
}

// Every text in one write: the runtime's formatted output to the unbuffered error
// stream goes out a character at a time.
void Write(const std::string& text)
{
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

void Show(bool force)
{
    DWORD now = GetTickCount();
    DWORD interval = s_progress.terminal ? kTerminalInterval : kLogInterval;
    if (!force && now - s_progress.lastShown < interval)
        return;
    s_progress.lastShown = now;
    std::string line = Counts() + (s_progress.phase.empty() ? "" : " - " + s_progress.phase);
    if (s_progress.terminal)
    {
        line = FittedLine(line, s_progress.width);
        line.resize(s_progress.width - 1, ' ');
        line.insert(0, 1, '\r');
        s_progress.lineOpen = true;
    }
    else
        line += kLineEnd;
    Write(line);
}

void OnStatusText(const char* text)
{
    if (StartsWith(text, kExaminingText))
        s_progress.filesExamined++;
    else if (StartsWith(text, kCheckingLinksText))
        s_progress.linksChecked++;
    else
    {
        s_progress.phase = Trimmed(text);
        Show(true);
        return;
    }
    Show(false);
}

void OnStatusLineText(const char* text)
{
    s_progress.phase = Trimmed(text);
    Show(true);
}

int AnswerErrorQuestion(const char* text, const char* caption)
{
    std::string message =
        std::string("orvscan: ") + caption + ": " + text + " Going on with the next filter entry." + kLineEnd;
    Write(s_progress.lineOpen ? kLineEnd + message : message);
    s_progress.lineOpen = false;
    return IDYES;
}

} // namespace

void BeginProgress()
{
    s_progress = Progress{};
    s_progress.terminal = _isatty(_fileno(stderr)) != 0;
    CONSOLE_SCREEN_BUFFER_INFO info;
    // The window's width, not the buffer's, which may be wider than what shows.
    if (s_progress.terminal && GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
    {
        const int shown = info.srWindow.Right - info.srWindow.Left + 1;
        s_progress.width = shown > 20 ? shown : 80;
    }
    std::fflush(stderr);
    s_progress.previousMode = _setmode(_fileno(stderr), _O_BINARY);
    g_feedbackSink.statusText = OnStatusText;
    g_feedbackSink.statusLineText = OnStatusLineText;
    g_feedbackSink.askContinue = AnswerErrorQuestion;
}

void EndProgress()
{
    if (s_progress.lineOpen)
        Write(kLineEnd);
    if (s_progress.previousMode != -1)
        _setmode(_fileno(stderr), s_progress.previousMode);
    g_feedbackSink.statusText = nullptr;
    g_feedbackSink.statusLineText = nullptr;
    g_feedbackSink.askContinue = nullptr;
}
