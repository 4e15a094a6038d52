// The help file, ORVENNA.HLP, as the window and its dialogs hand it to the help viewer.
#pragma once

#include <windows.h>

#include <string>

// The help file's name; its context numbers are the command and dialog identifiers.
inline constexpr const char* kHelpFile = "ORVENNA.HLP";

// The path of the file name beside the program, or empty when it is not there.
inline std::string PathBesideProgram(const char* name)
{
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::string path(program, length);
    path.replace(path.find_last_of('\\') + 1, std::string::npos, name);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return path;
}

// The help file's path when it lies beside the program, else the bare name, which the
// viewer finds in the Windows directory. The viewer looks for a bare name in its own,
// the current and the Windows directory, never beside the program that asks.
inline std::string HelpFile()
{
    const std::string path = PathBesideProgram(kHelpFile);
    return path.empty() ? kHelpFile : path;
}
