// Starting a program of another maker or of the suite, which the user may have to
// locate once: Backup's WinZip and the two companion tools.
#include <windows.h>

#include <cstring>

#include "platform/qemcom95.h"
#include "results/results.h"

// WinExec answers 32 or more when the program started; what it does then is its own.
static bool StartAt(const char* location, const LocatedCommandLine& commandLine)
{
    return WinExec(commandLine(location).c_str(), SW_SHOWNORMAL) >= 32;
}

int StartLocatedProgram(HWND owner, const LocatedProgram& program, const LocatedCommandLine& commandLine)
{
    // One byte short of the buffer: a value of the full size would come without a
    // terminator, and the zeroed last byte supplies it.
    char location[MAX_PATH] = {};
    std::strncpy(location, program.name, sizeof location - 1);
    QemReadRegEntry(program.section, program.value, location, MAX_PATH - 1, program.keyProduct);
    if (StartAt(location, commandLine))
        return 1;

    std::memset(location, 0, sizeof location);
    std::strncpy(location, program.suggested, sizeof location - 1);
    if (!QemOpenFileDlg(owner, location, program.dialogKind))
        return 0;
    // Stored before the second try: the user chose it, whether or not it starts.
    QemSaveRegEntry(program.section, program.value, location, static_cast<int>(std::strlen(location)),
                    program.keyProduct);
    return StartAt(location, commandLine) ? 1 : -1;
}
