// The help file, ORVENNA.HLP, as the window and its dialogs hand it to the help viewer.
#pragma once

#include <windows.h>

#include <string>

// The help file's name; its context numbers are the command and dialog identifiers.
inline constexpr const char* kHelpFile = "ORVENNA.HLP";

// The help file's path when it lies beside the program, else the bare name, which the
// viewer finds in the Windows directory. The viewer looks for a bare name in its own,
// the current and the Windows directory, never beside the program that asks.
inline std::string HelpFile()
{
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return kHelpFile;
    std::string path(program, length);
    path.replace(path.find_last_of('\\') + 1, std::string::npos, kHelpFile);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return kHelpFile;
    return path;
}
