// orvscan why: a whole scan, then for each target its verdict and the reason, from what
// the scan recorded of who links to whom.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "engine/import_reader.h"
#include "engine/link_graph.h"
#include "engine/name_list.h"
#include "engine/path_parts.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/ascii_case.h"
#include "platform/qemcom95.h"

namespace
{

struct Target
{
    std::string given;
    bool bare = false; // a file name, matched against every DLL the scan saw
    std::string path;  // a path, made full before the scan moves the current directory
};

Target TargetOf(const std::string& given)
{
    Target target{given, given.find_first_of("\\/:") == std::string::npos, {}};
    char full[MAX_PATH];
    const DWORD length = target.bare ? 0 : GetFullPathNameA(given.c_str(), MAX_PATH, full, nullptr);
    target.path = length > 0 && length < MAX_PATH ? std::string(full) : given;
    return target;
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LongPathOf(const std::string& path)
{
    char full[MAX_PATH];
    const DWORD length = GetLongPathNameA(path.c_str(), full, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(full) : path;
}

// A file as the answers show it: its full long path.
std::string Shown(const LinkedFile& file)
{
    return WalkedPath(file).empty() ? LongPathOf(file.shortPath) : WalkedPath(file);
}

// Each step names how it links when that is other than an import (an other-format
// file's name says so itself).
std::string ChainText(const LinkSource& source, const std::vector<const LinkedFile*>& chain,
                      const std::vector<LinkKind>& kinds)
{
    std::string text = *source.path;
    if (source.kind == LinkKind::Registry)
        text = "named by the registry: " + *source.path;
    else if (!source.program)
        text += " names \"" + source.name + "\"";
    for (std::size_t i = 0; i < chain.size(); i++)
    {
        text += " -> " + Shown(*chain[i]);
        if (kinds[i] != LinkKind::Import && (i > 0 || source.program || kinds[i] != LinkKind::NamedInFile))
            text += std::string(" (") + LinkKindName(kinds[i]) + ")";
    }
    return text;
}

std::string KeptReason(const LinkedFile& file)
{
    const LinkSource* source = nullptr;
    std::vector<const LinkedFile*> chain;
    std::vector<LinkKind> kinds;
    if (ShortestLinkChain(file.shortPath, source, chain, kinds))
    {
        // With 64-bit DLLs included, a chain runs among the files of one width.
        const int bits = g_scanInputs.scan64 ? FileBits(chain.front()->shortPath) : 0;
        const std::string world = bits > 0 ? ", in the " + std::to_string(bits) + "-bit world" : "";
        return "kept" + world + ": " + ChainText(*source, chain, kinds);
    }
    if (!SharedValueOf(file).empty())
        return "kept: the shared-DLL register names it, value \"" + SharedValueOf(file) + "\"";
    return "kept: the cross-check took it off the list";
}

std::string StemOf(const std::string& path)
{
    const std::string name = FileNameOf(path);
    return name.substr(0, name.rfind('.'));
}

// The files whose import tables the scan's reading passed over that import a module of
// the DLL's name: links that exist, though the scan did not read them.
std::vector<std::string> UnreadLinkers(const std::string& longPath, const std::string& shortPath)
{
    const std::string longStem = StemOf(longPath), shortStem = StemOf(shortPath);
    std::vector<std::string> linkers;
    for (const std::string& path : FilesWithUnreadImportTables())
    {
        bool imports = false;
        ReadImports(path.c_str(), {ImportReading::ImportDirectories, true},
                    [&](std::string_view name, LinkKind) {
                        imports = imports || EqualsIgnoringCase(name, longStem) ||
                                  EqualsIgnoringCase(name, shortStem);
                    });
        if (imports)
            linkers.push_back(path);
    }
    return linkers;
}

std::vector<std::string> LinkersOfListed(const std::string& longPath, const std::string& shortPath)
{
    const std::vector<const LinkedFile*> libraries = LinkingLibraries(shortPath);
    if (libraries.empty())
    {
        std::vector<std::string> lines = UnreadLinkers(longPath, shortPath);
        if (lines.empty())
            return {"listed: no examined file links to it"};
        for (std::string& line : lines)
            line.insert(0, "  ");
        lines.insert(lines.begin(), "listed: no link to it was read; these files import " + StemOf(longPath) +
                                        " from tables the reading passed over (--modern or "
                                        "--full reads them):");
        return lines;
    }
    std::vector<std::string> lines(1);
    bool allListed = true;
    for (const LinkedFile* library : libraries)
    {
        // A DLL that the register keeps is not worked off: its own links count for nothing.
        const bool listed = IsListed(library->shortPath);
        allListed = allListed && listed;
        lines.push_back("  " + Shown(*library) +
                        (listed                            ? ""
                         : SharedValueOf(*library).empty() ? " (not listed)"
                                                           : " (kept only by the shared-DLL register)"));
    }
    lines[0] = allListed ? "listed: linked only from listed DLLs:"
                         : "listed: linked only from DLLs that no examined file links to:";
    return lines;
}

std::vector<std::string> ListedReason(const LinkedFile* file, const std::string& longPath,
                                      const std::string& shortPath)
{
    std::vector<std::string> lines = LinkersOfListed(longPath, shortPath);
    if (file && !RegistryValueOf(*file).empty())
        lines.push_back("but the registry names it: " + RegistryValueOf(*file) + " (--modern reads it)");
    if (g_unreadEntries > 0)
        lines.push_back("but " + std::to_string(g_unreadEntries) +
                        " folders or files could not be read, and one of them may link to it");
    return lines;
}

std::string UnreadableReason(const std::string& path)
{
    switch (QemGetExeType(path.c_str()))
    {
    case QEM_EXE_NE: return "a 16-bit (NE) executable";
    case QEM_EXE_PE32PLUS:
        return g_scanInputs.scan64
                   ? "a 64-bit executable not for x64, or whose headers or import table do not "
                     "lie inside the file"
                   : "a 64-bit (PE32+) executable, which --64-bit takes";
    case QEM_EXE_DOS: return "an MS-DOS program";
    case QEM_EXE_OTHER: return "an LE or LX image, or a PE file of no known kind";
    case QEM_EXE_PE32: return "its headers or import table do not lie inside the file";
    case QEM_EXE_NONE: break;
    }
    return "not an executable, or it cannot be read";
}

// Why a file the library pass did not examine is no candidate.
std::string UnexaminedReason(const std::string& longPath, const std::string& shortPath)
{
    const std::string longExtension(PathExtension(longPath)), shortExtension(PathExtension(shortPath));
    if (!EqualsIgnoringCase(longExtension, ".DLL") && !EqualsIgnoringCase(shortExtension, ".DLL"))
    {
        for (const FilterEntry& slot : g_scanInputs.filters)
            if (!slot.extension.empty() && (EqualsIgnoringCase(slot.extension, longExtension) ||
                                            EqualsIgnoringCase(slot.extension, shortExtension)))
                return "not a candidate: only *.DLL files are listed; filter entry " + slot.extension +
                       (slot.kind == FILE_KIND_OTHER ? " selects it as an other format"
                                                     : " selects it as a program");
        return "not a candidate: only *.DLL files are listed, and it is under no filter entry";
    }
    const char drive =
        longPath.size() >= 3 && longPath[1] == ':' ? static_cast<char>(longPath[0] & ~0x20) : '\0';
    if (drive < 'C' || drive > 'Z' || !(g_walkedDrives & (1u << (drive - 'A'))))
        return "not a candidate: the walk did not reach it: its drive was not walked (the walk takes the "
               "fixed drives from C: to Z: but the host's root under Wine, or the drives --drives names)";
    return "not a candidate: the walk did not reach it: it lies in a folder the walk does not enter (a "
           "junction "
           "or link), or its path is too long";
}

std::vector<std::string> Reason(const LinkedFile* file, const std::string& longPath,
                                const std::string& shortPath)
{
    // The list itself is the verdict; the records only give the reasons.
    if (IsListed(shortPath))
        return ListedReason(file, longPath, shortPath);
    if (file && file->accepted)
        return {KeptReason(*file)};
    if (file && file->examined)
        return {std::string(g_scanInputs.scan64 ? "not a candidate: not a DLL the scan takes: "
                                                : "not a candidate: not a 32-bit DLL: ") +
                UnreadableReason(longPath)};
    return {UnexaminedReason(longPath, shortPath)};
}

void Explain(const LinkedFile* file, const std::string& longPath, const std::string& shortPath,
             std::string& out)
{
    out += longPath;
    if (!EqualsIgnoringCase(longPath, shortPath))
        out += " (" + shortPath + ")";
    out += kLineEnd;
    for (const std::string& line : Reason(file, longPath, shortPath))
        out += "  " + line + kLineEnd;
}

// Explains a target; false when it names no file, or no DLL the scan saw.
bool ExplainTarget(const Target& target, std::string& out)
{
    if (target.bare)
    {
        bool found = false;
        for (const LinkedFile* file : LinkedFiles())
            if (file->examined &&
                (lstrcmpiA(FileNameOf(WalkedPath(*file)).c_str(), target.given.c_str()) == 0 ||
                 lstrcmpiA(FileNameOf(file->shortPath).c_str(), target.given.c_str()) == 0))
            {
                Explain(file, WalkedPath(*file), file->shortPath, out);
                found = true;
            }
        if (!found)
            out += target.given + kLineEnd + "  not found: no DLL the scan saw has that name" + kLineEnd;
        return found;
    }
    if (GetFileAttributesA(target.path.c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        out += target.given + kLineEnd + "  not found" + kLineEnd;
        return false;
    }
    char shortPath[MAX_PATH];
    QemGetDOSFileName(target.path.c_str(), shortPath);
    const LinkedFile* file = FindLinkedFile(shortPath);
    Explain(file, file && !WalkedPath(*file).empty() ? WalkedPath(*file) : LongPathOf(target.path), shortPath,
            out);
    return true;
}

} // namespace

int RunWhyCommand(const ScanOptions& options)
{
    std::vector<Target> targets;
    for (const std::string& given : options.targets)
        targets.push_back(TargetOf(given));
    std::uint64_t total = 0;
    if (!ScanMachine(ScanInputsFor(options), total))
        return EXIT_INTERRUPTED;

    std::string out;
    bool allFound = true;
    // The targets are the files the scan saw, under the names it saw them by.
    RedirectionOff unredirected(g_scanInputs.scan64);
    for (const Target& target : targets)
        allFound = ExplainTarget(target, out) && allFound;
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    return allFound ? EXIT_OK : EXIT_NOT_FOUND;
}
