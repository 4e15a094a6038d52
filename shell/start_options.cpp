#include "shell/start_options.h"

WindowPlacementRect DefaultPlacement(int screenWidth, int screenHeight)
{
    return {screenWidth / 5, screenHeight / 8, screenWidth * 3 / 5, screenHeight * 3 / 4};
}

bool IsScanCommandLine(const char* line)
{
    return line && line[0] == '/' && (line[1] == 'S' || line[1] == 's') && line[2] == '\0';
}
