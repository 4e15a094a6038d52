#include <windows.h>

#include <cstring>

#include "platform/qemcom95.h"
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

void ShowHelpOnHelp(HWND mainWindow)
{
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
