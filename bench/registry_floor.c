/* The platform's floor for the registry's links: enumerates, with the cheapest calls the
   platform offers, every value the scan reads (the string values of HKLM\Software,
   HKLM\System\CurrentControlSet, HKCU\Software and HKU\.DEFAULT\Software, but the
   interfaces under Classes): per key one RegQueryInfoKeyW for its counts, one
   RegEnumValueW per value with its data, one RegEnumKeyExW and one RegOpenKeyExW per
   subkey, links not followed. It looks at no value's text. The counts it prints (keys,
   values, string values) let the benchmark check that it saw the registry it grew; the
   seconds, the enumeration's own, leave the process's start out. */
#include <stdio.h>
#include <windows.h>

enum
{
    NAME_CHARS = 16384,
    DATA_CHARS = 32768,
    DEEPEST = 512
};

static WCHAR g_name[NAME_CHARS];
static WCHAR g_data[DATA_CHARS];
static unsigned long g_keys, g_values, g_strings;

static const REGSAM kAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_WOW64_64KEY;

static void ReadKey(HKEY key, int depth, int underClasses)
{
    DWORD subkeys = 0, values = 0;
    g_keys++;
    if (RegQueryInfoKeyW(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL) !=
        ERROR_SUCCESS)
        return;
    for (DWORD i = 0; i < values; i++)
    {
        DWORD nameLength = NAME_CHARS, type = REG_NONE, size = sizeof g_data;
        LONG status = RegEnumValueW(key, i, g_name, &nameLength, NULL, &type, (BYTE*)g_data, &size);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        g_values++;
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)
            g_strings++;
    }
    if (depth >= DEEPEST)
        return;
    for (DWORD i = 0; i < subkeys; i++)
    {
        WCHAR subkey[256];
        DWORD length = 256;
        HKEY child;
        LONG status = RegEnumKeyExW(key, i, subkey, &length, NULL, NULL, NULL, NULL);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (underClasses && lstrcmpiW(subkey, L"Interface") == 0)
            continue;
        if (RegOpenKeyExW(key, subkey, REG_OPTION_OPEN_LINK, kAccess, &child) != ERROR_SUCCESS)
            continue;
        ReadKey(child, depth + 1, lstrcmpiW(subkey, L"Classes") == 0);
        RegCloseKey(child);
    }
}

int main(void)
{
    LARGE_INTEGER frequency, start, end;
    static const struct
    {
        HKEY root;
        const WCHAR* path;
    } kTrees[] = {{HKEY_LOCAL_MACHINE, L"Software"},
                  {HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet"},
                  {HKEY_CURRENT_USER, L"Software"},
                  {HKEY_USERS, L".DEFAULT\\Software"}};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (size_t i = 0; i < sizeof kTrees / sizeof kTrees[0]; i++)
    {
        HKEY key;
        if (RegOpenKeyExW(kTrees[i].root, kTrees[i].path, 0, kAccess, &key) != ERROR_SUCCESS)
            continue;
        ReadKey(key, 0, 0);
        RegCloseKey(key);
    }
    QueryPerformanceCounter(&end);
    printf("registry keys=%lu values=%lu strings=%lu seconds=%.3f\n", g_keys, g_values, g_strings,
           (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart);
    return 0;
}
