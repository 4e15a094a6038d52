/* The platform's floor for a scan: walks every fixed drive from C: to Z: once and reads,
   with the cheapest calls the platform offers, exactly the bytes a scan needs.

     floor quick   the headers and section table of every file the default filter list
                   reads as an executable (one 4 KB read), then the bytes of its section
                   named ".idata" (one more read); nothing of .INI and .GRP files
     floor full    every byte of every file the default filter list selects

   One FindFirstFileA/FindNextFileA pass over "*" per directory, CreateFileA and ReadFile
   (no mapping: under Wine a mapping costs more than the read it replaces). The counts it
   prints (one line per drive and a total) keep the work from being optimised away and let
   the benchmark check that the floor saw the machine it was given. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

enum
{
    FIRST_READ = 4096,
    BLOCK = 1 << 20,
    PE_HEADERS = 248, /* signature, file header and a PE32 optional header */
    SECTION_HEADER = 40,
    DESCRIPTOR = 20
};

typedef struct
{
    unsigned long dirs;
    unsigned long files;  /* files the filter list selects */
    unsigned long opened; /* files this mode reads */
    unsigned long names;  /* import descriptors seen (quick) */
    unsigned long long bytes;
} Counts;

static const char* const kFilters[] = {".EXE", ".DLL", ".CNV", ".FLT", ".EQU", ".VBX", ".OCX",
                                       ".DRV", ".GRP", ".INI", ".CPL", ".3GR", ".SCR"};
/* Files of these two the scan searches as text; the quick scan reads nothing of them. */
static const char* const kTextFilters[] = {".GRP", ".INI"};

static BYTE g_block[BLOCK];
static int g_full;

static int HasExtension(const char* name, const char* const* list, size_t count)
{
    const char* dot = strrchr(name, '.');
    if (!dot)
        return 0;
    for (size_t i = 0; i < count; ++i)
        if (lstrcmpiA(dot, list[i]) == 0)
            return 1;
    return 0;
}

/* -1: no filter selects the file; 0: read as text; 1: read as an executable. The platform
   matches a pattern against the long name and against the 8.3 name, so both count. */
static int SelectFile(const WIN32_FIND_DATAA* entry)
{
    const size_t filters = sizeof kFilters / sizeof kFilters[0];
    const size_t texts = sizeof kTextFilters / sizeof kTextFilters[0];
    const char* names[2] = {entry->cFileName, entry->cAlternateFileName};
    for (int i = 0; i < 2; ++i)
        if (names[i][0] && HasExtension(names[i], kFilters, filters))
            return HasExtension(names[i], kTextFilters, texts) ? 0 : 1;
    return -1;
}

static DWORD ReadAt(HANDLE file, DWORD offset, BYTE* buffer, DWORD size)
{
    DWORD got = 0;
    if (SetFilePointer(file, (LONG)offset, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return 0;
    if (!ReadFile(file, buffer, size, &got, NULL))
        return 0;
    return got;
}

static DWORD GetU32(const BYTE* p)
{
    return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16 | (DWORD)p[3] << 24;
}

static WORD GetU16(const BYTE* p)
{
    return (WORD)(p[0] | p[1] << 8);
}

/* Counts the descriptors at the start of the .idata bytes, as the import reader walks them. */
static unsigned long CountDescriptors(const BYTE* idata, DWORD size)
{
    unsigned long count = 0;
    for (DWORD at = 0; at + DESCRIPTOR <= size; at += DESCRIPTOR, ++count)
        if (GetU32(idata + at + 4) == 0 && GetU32(idata + at + 12) == 0)
            break;
    return count;
}

/* The offset and size of the first section named ".idata" of a PE32 file whose headers are
   in head; 0 when there is none or the headers lie beyond the first read. */
static int FindImportSection(const BYTE* head, DWORD got, DWORD* offset, DWORD* size)
{
    if (got < 0x40 || head[0] != 'M' || head[1] != 'Z')
        return 0;
    DWORD h = GetU32(head + 0x3C);
    if (h > got || got - h < PE_HEADERS || memcmp(head + h, "PE\0\0", 4) != 0)
        return 0;
    if (GetU16(head + h + 24) != 0x10B)
        return 0;
    WORD sections = GetU16(head + h + 6);
    for (DWORD i = 0; i < sections; ++i)
    {
        DWORD at = h + PE_HEADERS + i * SECTION_HEADER;
        if (at > got || got - at < SECTION_HEADER)
            return 0;
        char name[9] = {0};
        memcpy(name, head + at, 8);
        if (lstrcmpiA(name, ".idata") == 0)
        {
            *size = GetU32(head + at + 16);
            *offset = GetU32(head + at + 20);
            return 1;
        }
    }
    return 0;
}

static void ReadImportBytes(HANDLE file, Counts* counts)
{
    DWORD got = ReadAt(file, 0, g_block, FIRST_READ);
    DWORD offset = 0, size = 0;
    counts->bytes += got;
    if (!FindImportSection(g_block, got, &offset, &size))
        return;
    got = ReadAt(file, offset, g_block, size < BLOCK ? size : BLOCK);
    counts->bytes += got;
    counts->names += CountDescriptors(g_block, got);
}

static void ReadWholeFile(HANDLE file, Counts* counts)
{
    DWORD got = 0;
    while (ReadFile(file, g_block, BLOCK, &got, NULL) && got > 0)
        counts->bytes += got;
}

static void ReadSelectedFile(const char* path, int kind, Counts* counts)
{
    ++counts->files;
    if (!g_full && kind == 0)
        return;
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    ++counts->opened;
    if (g_full)
        ReadWholeFile(file, counts);
    else
        ReadImportBytes(file, counts);
    CloseHandle(file);
}

static int JoinPath(char* out, const char* folder, const char* name)
{
    int length = snprintf(out, MAX_PATH, "%s\\%s", folder, name);
    return length > 0 && length < MAX_PATH;
}

/* Depth first; the walk never enters a reparse point (a prefix's profile folders). */
static void WalkFolder(const char* folder, Counts* counts)
{
    char pattern[MAX_PATH];
    WIN32_FIND_DATAA entry;
    if (!JoinPath(pattern, folder, "*"))
        return;
    ++counts->dirs;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do
    {
        char path[MAX_PATH];
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0)
            continue;
        if (!JoinPath(path, folder, entry.cFileName))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                WalkFolder(path, counts);
            continue;
        }
        int kind = SelectFile(&entry);
        if (kind >= 0)
            ReadSelectedFile(path, kind, counts);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

static void PrintCounts(const char* what, const Counts* counts)
{
    printf("%s dirs=%lu files=%lu opened=%lu names=%lu bytes=%llu\n", what, counts->dirs, counts->files,
           counts->opened, counts->names, counts->bytes);
}

int main(int argc, char** argv)
{
    if (argc != 2 || (strcmp(argv[1], "quick") != 0 && strcmp(argv[1], "full") != 0))
    {
        fprintf(stderr, "usage: floor quick|full\n");
        return 2;
    }
    g_full = strcmp(argv[1], "full") == 0;
    Counts total = {0};
    for (char letter = 'C'; letter <= 'Z'; ++letter)
    {
        char root[4] = {letter, ':', '\\', 0};
        char folder[3] = {letter, ':', 0};
        if (GetDriveTypeA(root) != DRIVE_FIXED)
            continue;
        Counts drive = {0};
        WalkFolder(folder, &drive);
        PrintCounts(folder, &drive);
        total.dirs += drive.dirs;
        total.files += drive.files;
        total.opened += drive.opened;
        total.names += drive.names;
        total.bytes += drive.bytes;
    }
    PrintCounts("total", &total);
    return 0;
}
