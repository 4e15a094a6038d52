#include <cctype>
#include <cstring>

#include "cli/cli.h"
#include "settings/settings.h"

bool ParseFilterOption(const std::string& text, std::vector<FilterEntry>& filters, std::string& error)
{
    filters.clear();
    std::size_t start = 0;
    while (start <= text.size())
    {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        std::string item = text.substr(start, end - start);
        FilterEntry entry{item, FILE_KIND_EXECUTABLE};
        std::size_t colon = item.find(':');
        if (colon != std::string::npos)
        {
            std::string kind = item.substr(colon + 1);
            entry.extension = item.substr(0, colon);
            if (kind != "0" && kind != "1")
            {
                error = "the kind of '" + entry.extension + "' must be 0 (other format) or 1 (executable)";
                return false;
            }
            entry.kind = static_cast<unsigned char>(kind[0] - '0');
        }
        // As the Filters dialog takes what is typed: the dot may be left out. An option
        // for one run takes the modern reading's longer extensions in either reading.
        std::string& ext = entry.extension;
        if (!ext.empty() && ext[0] != '.')
            ext.insert(0, 1, '.');
        for (char& c : ext)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (ext.size() < 2 || ext.size() > 1 + kModernExtensionLength || ext[0] != '.' ||
            ext.find_first_of(" \t.", 1) != std::string::npos)
        {
            error = "'" + ext + "' is not an extension (one to eight characters after an optional dot)";
            return false;
        }
        filters.push_back(entry);
        start = end + 1;
    }
    if (filters.size() > MAX_FILTER_ENTRIES)
    {
        error = "at most 255 filter entries";
        return false;
    }
    return true;
}

bool ParseDrivesOption(const std::string& text, unsigned& drives, std::string& error)
{
    drives = 0;
    for (char letter : text)
    {
        const int drive = std::toupper(static_cast<unsigned char>(letter)) - '@';
        if (drive < 3 || drive > 26)
        {
            error = "--drives takes drive letters from C to Z, such as CDE";
            return false;
        }
        drives |= 1u << (drive - 1);
    }
    if (!drives)
        error = "--drives needs at least one drive letter";
    return drives != 0;
}

bool ParseReadingOption(const char* arg, int& modernLinks)
{
    // The names of the import-directory reading, which the modern one widened, stay.
    if (std::strcmp(arg, "--modern") == 0 || std::strcmp(arg, "--import-directories") == 0)
        modernLinks = 1;
    else if (std::strcmp(arg, "--classic") == 0 || std::strcmp(arg, "--section-imports") == 0)
        modernLinks = 0;
    else
        return false;
    return true;
}

void LoadPreferencesFor(int modernLinks)
{
    LoadPreferences();
    if (modernLinks != -1)
        g_readModernLinks = static_cast<unsigned char>(modernLinks);
}

ScanInputs ScanInputsFor(const ScanOptions& options)
{
    LoadPreferencesFor(options.modernLinks);
    if (options.quickScan != -1)
        g_quickScan = static_cast<unsigned char>(options.quickScan);
    if (options.scan64 != -1)
        g_scan64Bit = static_cast<unsigned char>(options.scan64);
    ScanInputs inputs = StoredScanInputs();
    if (options.filtersGiven)
    {
        inputs.filters = options.filters;
        inputs.storedListPassedOver = false;
    }
    inputs.drives = options.drives;
    // The note on what the registry names costs a reading of it: it comes, as the window's
    // one-time offer does, until that offer has been made.
    inputs.countUnreadLinks = !g_readModernLinks && !WasModernLinksOffered();
    return inputs;
}

bool ParseScanOptions(int argc, char** argv, ScanOptions& options, std::string& error)
{
    for (int i = 1; i < argc; i++)
    {
        const char* arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
            {
                error = std::string(arg) + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (std::strcmp(arg, "--full") == 0)
            options.quickScan = 0;
        else if (std::strcmp(arg, "--quick") == 0)
            options.quickScan = 1;
        else if (ParseReadingOption(arg, options.modernLinks))
            continue;
        else if (std::strcmp(arg, "--64-bit") == 0 || std::strcmp(arg, "--32-bit-only") == 0)
            options.scan64 = arg[2] == '6';
        else if (std::strcmp(arg, "--filters") == 0)
        {
            std::string text;
            if (!value(text) || !ParseFilterOption(text, options.filters, error))
                return false;
            options.filtersGiven = true;
        }
        else if (std::strcmp(arg, "--drives") == 0)
        {
            std::string letters;
            if (!value(letters) || !ParseDrivesOption(letters, options.drives, error))
                return false;
        }
        else if (std::strcmp(arg, "--prefix") == 0)
        {
            if (!value(options.prefix))
                return false;
            options.prefixGiven = true;
        }
        else if (std::strcmp(arg, "--suffix") == 0)
        {
            if (!value(options.suffix))
                return false;
            options.suffixGiven = true;
        }
        else if (std::strcmp(arg, "--output") == 0)
        {
            if (!value(options.output))
                return false;
            if (options.output.empty())
            {
                error = "--output needs a file name";
                return false;
            }
        }
        else if (std::strcmp(arg, "--format") == 0)
        {
            std::string format;
            if (!value(format))
                return false;
            if (format != "tsv" && format != "json")
            {
                error = "--format must be tsv or json";
                return false;
            }
            options.format = format == "tsv" ? ListFormat::Tsv : ListFormat::Json;
        }
        else if (arg[0] == '-')
        {
            error = std::string("unknown option '") + arg + "'";
            return false;
        }
        else
            options.targets.push_back(arg);
    }
    return true;
}
