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

std::string FormatLeftOut64BitCount(int count)
{
    return std::to_string(count) + (count == 1 ? " 64-bit DLL was left out" : " 64-bit DLLs were left out");
}

std::vector<UnreadLinkNote> FormatUnreadLinkNotes(const UnreadLinkCounts& counts)
{
    struct Kind
    {
        int count;
        const char* one;
        const char* many;
        const char* consequence;
        bool fullScanReads;
    };
    const Kind kinds[] = {
        {counts.importTablesOutsideIdata, " examined file keeps its import tables outside .idata",
         " examined files keep their import tables outside .idata", "those links were not read", true},
        {counts.managedFiles, " examined file is a .NET assembly", " examined files are .NET assemblies",
         "their assembly references and P/Invoke modules were not read", false},
        {counts.manifestFiles, " examined file names side-by-side assemblies in its manifest",
         " examined files name side-by-side assemblies in their manifests", "those assemblies were not read",
         false},
        {counts.forwardingFiles, " examined file forwards exports to other DLLs",
         " examined files forward exports to other DLLs", "those links were not read", false},
        {counts.addOnModules, " file named .NODE, .PYD, .AX or .XLL was not examined",
         " files named .NODE, .PYD, .AX or .XLL were not examined", "programs load them as DLLs", false},
        {counts.registryNamedListed, " listed DLL is named in the registry",
         " listed DLLs are named in the registry", "programs may load them", false},
    };
    std::vector<UnreadLinkNote> notes;
    for (const Kind& kind : kinds)
        if (kind.count > 0)
            notes.push_back({std::to_string(kind.count) + (kind.count == 1 ? kind.one : kind.many) + "; " +
                                 kind.consequence,
                             kind.fullScanReads});
    return notes;
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

// head and as many of names as fits takes, the rest counted; a first one too long is
// cut with "...". Counted upwards: a scan may leave thousands of names.
static std::string FittedNames(const std::string& head, const std::vector<std::string>& names,
                               const std::function<bool(const std::string&)>& fits)
{
    auto more = [&](std::size_t shown) {
        return shown < names.size() ? " and " + std::to_string(names.size() - shown) + " more" : "";
    };
    auto line = [&](std::size_t shown) {
        std::string text = head;
        for (std::size_t i = 0; i < shown; i++)
            text += (i ? ", " : "") + names[i];
        return text + more(shown);
    };
    if (fits(line(names.size())))
        return line(names.size());
    std::size_t shown = 0;
    while (shown + 1 < names.size() && fits(line(shown + 1)))
        shown++;
    if (shown > 0)
        return line(shown);
    std::string first = names[0];
    while (!first.empty() && !fits(head + first + "..." + more(1)))
        first.pop_back();
    return head + first + "..." + more(1);
}

std::string FormatLinkedFromLine(const std::vector<std::string>& libraries, bool allListed,
                                 const std::vector<std::string>& unreadFiles,
                                 const std::function<bool(const std::string&)>& fits)
{
    if (libraries.empty())
        return unreadFiles.empty()
                   ? "Linked from: nothing examined"
                   : FittedNames("Linked from: no link read; unread links in ", unreadFiles, fits);
    return FittedNames(allListed ? "Linked from listed DLLs only: "
                                 : "Linked only from DLLs no examined file links to: ",
                       libraries, fits);
}

std::string FormatRegistryNamedLine(const std::string& valuePath,
                                    const std::function<bool(const std::string&)>& fits)
{
    return FittedNames("Named by the registry: ", {valuePath}, fits);
}
