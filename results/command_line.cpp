#include "results/command_line.h"

std::string QuoteIfBlank(std::string_view part)
{
    bool quoted = part.size() >= 2 && part.front() == '"' && part.back() == '"';
    if (quoted || part.find_first_of(" \t") == std::string_view::npos)
        return std::string(part);
    std::string result = "\"";
    result.append(part).append("\"");
    return result;
}

std::string FormatWinZipCommand(std::string_view program, std::string_view archive, std::string_view listFile)
{
    return QuoteIfBlank(program) + " -a -P -ex " + QuoteIfBlank(archive) + " @" + QuoteIfBlank(listFile);
}
