// Command lines of the programs Orvenna starts: WinZip for Backup, the companion
// tools. Portable: no windows.h.
#pragma once

#include <string>
#include <string_view>

// The part as it stands, or between double quotes when it holds a blank or a tab:
// a program location such as C:\Program Files\WinZip\WINZIP32.EXE would otherwise be
// split there. A part that is already quoted is left alone.
std::string QuoteIfBlank(std::string_view part);

// "%s -a -P -ex %s @%s" with the program, the archive and the list file, each quoted
// when it holds a blank.
std::string FormatWinZipCommand(std::string_view program, std::string_view archive,
                                std::string_view listFile);
