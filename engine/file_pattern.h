// Which names a filter's search pattern takes, decided in memory for the common
// patterns, so that one listing of a directory serves every pattern. Portable.
//
// Only "plain" names and patterns are decided here: printable ASCII without wildcards
// or characters that no Windows name holds, and not ending in a blank or a dot. For
// anything else the platform's own matching is the reference (case folding beyond
// ASCII, names it shows under another form), and callers ask it instead.
#pragma once

#include <string_view>

bool IsPlainName(std::string_view name);

// A plain name without drive or directory that is its own 8.3 name: at most eight
// characters, and at most one dot followed by at most three. Its short form is itself,
// but for case.
bool IsBare83Name(std::string_view name);

// "*" followed by an extension of plain characters, no blank: "*.DLL", "*.3GR".
bool IsPlainPattern(std::string_view pattern);

// Whether a plain pattern takes an entry: as the platform matches, without regard to
// case, on the long name or on the 8.3 name (empty when the long name is 8.3 already).
bool MatchesPlainPattern(std::string_view pattern, std::string_view longName, std::string_view shortName);
