#include <windows.h>

#include "shell/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCode)
{
    return RunOrvenna(instance, commandLine, showCode);
}
