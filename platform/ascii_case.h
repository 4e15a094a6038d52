// ASCII case, the only case the scan's names fold: bytes beyond ASCII are left as they
// are, whatever the code page. Portable: no windows.h.
#pragma once

#include <string>
#include <string_view>

inline char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i++)
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    return true;
}

inline std::string ToUpperAscii(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = UpperAscii(c);
    return upper;
}
