// What start-up decides before the window shows: the default placement and whether
// the command line asks for a scan. Portable: no windows.h.
#pragma once

struct WindowPlacementRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A fifth of the screen in from the left, an eighth down from the top, three fifths
// wide and three quarters high; every division truncates.
WindowPlacementRect DefaultPlacement(int screenWidth, int screenHeight);

// True only for the whole line "/S" in either case: no blanks, no further words.
bool IsScanCommandLine(const char* line);
