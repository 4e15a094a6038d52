#include "results/summary_format.h"

std::string GroupThousands(std::uint64_t value)
{
    std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); i++)
    {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string FormatSummaryLine(int count, std::uint64_t totalBytes)
{
    return " " + std::to_string(count) +
           " possibly unlinked .DLLs listed. Disk space taken: " + GroupThousands(totalBytes) + " bytes";
}

std::string FormatListLine(const char* prefix, std::string_view path, const char* suffix)
{
    std::string line;
    if (prefix)
        line.append(prefix).append(" ");
    line.append(path);
    if (suffix)
        line.append(" ").append(suffix);
    return line;
}
