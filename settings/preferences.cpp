#include <windows.h>

#include <cstdio>

#include "platform/qemcom95.h"
#include "settings/settings.h"

unsigned char g_showToolbar = 1;
unsigned char g_showStatusBar = 1;
unsigned char g_saveSettingsOnExit = 1;
unsigned char g_lowerCaseNames = 0;
unsigned char g_showToolTips = 1;
unsigned char g_deleteToRecycleBin = 0;
unsigned char g_quickScan = 1;
unsigned char g_readModernLinks = 0;
unsigned char g_scan64Bit = 0;

// The stored names of the values beyond the flags.
static constexpr char kMaxMinValue[] = "MaxMin";
static constexpr char kPositionValue[] = "xy";
static constexpr char kSizeValue[] = "cxy";
static constexpr char kModernLinksOfferedValue[] = "ImpDirAsked";
static constexpr char kScan64BitOfferedValue[] = "Scan64Asked";

// Every flag by its stored name and default, in the order they are saved.
struct StoredFlag
{
    const char* name;
    unsigned char* flag;
    unsigned char defaultValue;
};
static constexpr StoredFlag kStoredFlags[] = {
    {"Toolbar", &g_showToolbar, 1},     {"Settings", &g_saveSettingsOnExit, 1},
    {"StatusBar", &g_showStatusBar, 1}, {"Lower", &g_lowerCaseNames, 0},
    {"ToolTips", &g_showToolTips, 1},   {"QScan", &g_quickScan, 1},
    {"ImpDir", &g_readModernLinks, 0},  {"Recycle", &g_deleteToRecycleBin, 0},
    {"Scan64", &g_scan64Bit, 0},
};

void LoadPreferences()
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, QEM_ORVENNA_KEY, 0, const_cast<char*>(""), 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
    for (const StoredFlag& stored : kStoredFlags)
    {
        unsigned char& flag = *stored.flag;
        flag = stored.defaultValue;
        QemReadRegEntry(kPreferencesSection, stored.name, &flag, 0, QEM_PRODUCT_ORVENNA);
        // Only 0 and 1 are ever written; anything else is read as on, as a toggle would.
        flag = flag ? 1 : 0;
    }
}

static void SaveFlag(const char* name, unsigned char flag)
{
    QemSaveRegEntry(kPreferencesSection, name, &flag, 0, QEM_PRODUCT_ORVENNA);
}

// Texts are stored with their length and no terminator.
static void SavePair(const char* name, int first, int second)
{
    char text[40];
    int length = wsprintfA(text, "%d %d", first, second);
    QemSaveRegEntry(kPreferencesSection, name, text, length, QEM_PRODUCT_ORVENNA);
}

void SavePreferences(HWND mainWindow)
{
    for (const StoredFlag& stored : kStoredFlags)
        SaveFlag(stored.name, *stored.flag);
    // xy and cxy keep the last normal rectangle while the window is minimized or
    // maximized, so that restoring it at the next start gives a sensible size.
    if (IsIconic(mainWindow))
    {
        SaveFlag(kMaxMinValue, SW_SHOWMINIMIZED);
        return;
    }
    if (IsZoomed(mainWindow))
    {
        SaveFlag(kMaxMinValue, SW_SHOWMAXIMIZED);
        return;
    }
    RECT rect;
    GetWindowRect(mainWindow, &rect);
    SavePair(kPositionValue, rect.left, rect.top);
    SavePair(kSizeValue, rect.right - rect.left, rect.bottom - rect.top);
    SaveFlag(kMaxMinValue, SW_SHOWNORMAL);
}

// Written as soon as the offer is made, not with the preferences: it is made once per
// installation, whatever Save Settings on Exit says.
static bool WasOffered(const char* value)
{
    unsigned char offered = 0;
    QemReadRegEntry(kPreferencesSection, value, &offered, 0, QEM_PRODUCT_ORVENNA);
    return offered != 0;
}

bool WasModernLinksOffered()
{
    return WasOffered(kModernLinksOfferedValue);
}

void RememberModernLinksOffered()
{
    SaveFlag(kModernLinksOfferedValue, 1);
}

bool WasScan64BitOffered()
{
    return WasOffered(kScan64BitOfferedValue);
}

void RememberScan64BitOffered()
{
    SaveFlag(kScan64BitOfferedValue, 1);
}

// "%d %d" as stored by SavePair; false for an empty or unparsable text.
static bool ReadPair(const char* name, int& first, int& second)
{
    char text[41] = {};
    QemReadRegEntry(kPreferencesSection, name, text, 40, QEM_PRODUCT_ORVENNA);
    return text[0] != '\0' && std::sscanf(text, "%d %d", &first, &second) == 2;
}

StoredPlacement ReadStoredPlacement()
{
    StoredPlacement placement;
    unsigned char maxMin = SW_SHOWNORMAL;
    QemReadRegEntry(kPreferencesSection, kMaxMinValue, &maxMin, 0, QEM_PRODUCT_ORVENNA);
    if (maxMin == SW_SHOWMINIMIZED || maxMin == SW_SHOWMAXIMIZED)
    {
        placement.showState = maxMin;
        return placement;
    }
    int left, top, width, height;
    placement.hasRect = ReadPair(kPositionValue, left, top) && ReadPair(kSizeValue, width, height);
    if (placement.hasRect)
    {
        placement.left = left;
        placement.top = top;
        placement.width = width;
        placement.height = height;
    }
    return placement;
}
