#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli.h"
#include "engine/clr_metadata.h"
#include "engine/import_reader.h"
#include "engine/name_list.h"
#include "platform/qemcom95.h"
#include "platform/scoped_handle.h"
#include "settings/settings.h"

// The scan hands the reader a full short path, so the command does the same.
static void GetScanPath(const char* path, char (&shortPath)[MAX_PATH])
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        lstrcpynA(full, path, MAX_PATH);
    QemGetDOSFileName(full, shortPath);
}

// A managed file's metadata names, each on a line of its own after the import names:
// "\tassembly\tNAME\tCULTURE", "\tP/Invoke\tMODULE", "\tmodule\tFILE".
static void PrintClrNames(const char* path)
{
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || GetFileType(file.handle) != FILE_TYPE_DISK || !GetFileSizeEx(file.handle, &size) ||
        size.QuadPart <= 0)
        return;
    PagedBytes bytes(static_cast<std::uint64_t>(size.QuadPart), FilePageReader(file.handle));
    ParseClrMetadata(bytes, [](ClrName kind, std::string_view name, std::string_view culture) {
        const std::string text(name);
        if (kind == ClrName::Assembly)
            std::printf("\tassembly\t%s\t%.*s\n", text.c_str(), static_cast<int>(culture.size()),
                        culture.data());
        else
            std::printf("\t%s\t%s\n", kind == ClrName::NativeModule ? "P/Invoke" : "module", text.c_str());
    });
}

int RunImportsCommand(int fileCount, char** files, int modernLinks)
{
    LoadPreferencesFor(modernLinks);
    const ExeReading reading{
        g_readModernLinks ? ImportReading::ImportDirectories : ImportReading::IdataSection, g_scan64Bit != 0};
    NameList names;
    bool allFound = true;
    for (int i = 0; i < fileCount; i++)
    {
        if (GetFileAttributesA(files[i]) == INVALID_FILE_ATTRIBUTES)
        {
            std::printf("not found\t%s\n", files[i]);
            allFound = false;
            continue;
        }
        char shortPath[MAX_PATH];
        GetScanPath(files[i], shortPath);
        // Every name read, repeats included, as the descriptors give them.
        int answer =
            ReadImports(shortPath, reading, [&](std::string_view name, LinkKind) { AddName(names, name); });
        std::printf("%d\t%s\n", answer, files[i]);
        char name[260];
        for (int k = 0; k < GetCount(names); k++)
            if (GetName(names, k, name) >= 0)
                std::printf("\t%s\n", name);
        Clear(names);
        if (reading.imports == ImportReading::ImportDirectories)
            PrintClrNames(shortPath);
    }
    std::fflush(stdout);
    return allFound ? EXIT_OK : EXIT_NOT_FOUND;
}
