#include <windows.h>

#include <cstring>
#include <string>

#include "platform/qemcom95.h"
#include "resources/help_file.h"
#include "resources/resource.h"
#include "shell/shell.h"

void ShowHelpContents(HWND mainWindow)
{
    WinHelpA(mainWindow, HelpFile().c_str(), HELP_CONTENTS, 0);
}

// An empty keyword opens the search with nothing typed in.
void SearchHelp(HWND mainWindow)
{
    static const char noKeyword[] = "";
    WinHelpA(mainWindow, HelpFile().c_str(), HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(noKeyword));
}

// The viewer's guide is its own WINHELP.HLP in the Windows directory. Wine's viewer
// comes without one: then the copy the release ships beside the program is opened.
void ShowHelpOnHelp(HWND mainWindow)
{
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    const bool viewerHasItsOwn =
        length > 0 && length < MAX_PATH &&
        GetFileAttributesA((std::string(windows, length) + "\\WINHELP.HLP").c_str()) !=
            INVALID_FILE_ATTRIBUTES;
    const std::string shipped = PathBesideProgram("WINHELP.HLP");
    if (!viewerHasItsOwn && !shipped.empty())
        WinHelpA(mainWindow, shipped.c_str(), HELP_CONTENTS, 0);
    else
        WinHelpA(mainWindow, nullptr, HELP_HELPONHELP, 0);
}

void ShowAboutBox(HWND mainWindow)
{
    QEMABOUT about{};
    about.owner = mainWindow;
    about.number = IDD_ABOUT;
    std::strncpy(about.title, "About Orvenna", sizeof about.title - 1);
    about.text = "Orvenna - Version 5.0 - April 1996";
    QemAboutBox(&about);
}
