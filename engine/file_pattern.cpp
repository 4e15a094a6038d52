#include "engine/file_pattern.h"

#include "engine/path_parts.h"
#include "platform/ascii_case.h"

bool IsPlainName(std::string_view name)
{
    if (name.empty() || name.back() == ' ' || name.back() == '.')
        return false;
    for (char c : name)
    {
        if (c < 0x20 || c > 0x7E)
            return false;
        switch (c)
        {
        case '?':
        case '*':
        case '<':
        case '>':
        case '"':
        case '|':
        case ':':
        case '\\':
        case '/': return false;
        default: break;
        }
    }
    return true;
}

bool IsBare83Name(std::string_view name)
{
    if (!IsPlainName(name) || name.find_first_of(" ;,=+[]") != std::string_view::npos)
        return false;
    const std::size_t dot = name.find('.');
    const std::string_view base = name.substr(0, dot);
    const std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    return !base.empty() && base.size() <= 8 && extension.size() <= 3 &&
           extension.find('.') == std::string_view::npos;
}

bool IsPlainPattern(std::string_view pattern)
{
    if (pattern.size() < 3 || pattern[0] != '*' || pattern[1] != '.')
        return false;
    std::string_view extension = pattern.substr(1);
    return IsPlainName(extension) && extension.find(' ') == std::string_view::npos;
}

static bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix)
{
    return name.size() >= suffix.size() &&
           EqualsIgnoringCase(name.substr(name.size() - suffix.size()), suffix);
}

bool MatchesPlainPattern(std::string_view pattern, std::string_view longName, std::string_view shortName)
{
    std::string_view extension = pattern.substr(1);
    return EndsWithIgnoringCase(longName, extension) ||
           (!shortName.empty() && EndsWithIgnoringCase(shortName, extension));
}
