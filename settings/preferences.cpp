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

static void ReadFlag(const char* name, unsigned char& flag, unsigned char defaultValue)
{
    flag = defaultValue;
    QemReadRegEntry(kPreferencesSection, name, &flag, 0, QEM_PRODUCT_ORVENNA);
    // Only 0 and 1 are ever written; anything else is read as on, as a toggle would.
    flag = flag ? 1 : 0;
}

void LoadPreferences()
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tessaly Software Ltd\\Orvenna\\4.70", 0,
                        const_cast<char*>(""), 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
    ReadFlag("Toolbar", g_showToolbar, 1);
    ReadFlag("StatusBar", g_showStatusBar, 1);
    ReadFlag("Settings", g_saveSettingsOnExit, 1);
    ReadFlag("Lower", g_lowerCaseNames, 0);
    ReadFlag("ToolTips", g_showToolTips, 1);
    ReadFlag("QScan", g_quickScan, 1);
    ReadFlag("ImpDir", g_readModernLinks, 0);
    ReadFlag("Recycle", g_deleteToRecycleBin, 0);
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
    SaveFlag("Toolbar", g_showToolbar);
    SaveFlag("Settings", g_saveSettingsOnExit);
    SaveFlag("StatusBar", g_showStatusBar);
    SaveFlag("Lower", g_lowerCaseNames);
    SaveFlag("ToolTips", g_showToolTips);
    SaveFlag("QScan", g_quickScan);
    SaveFlag("ImpDir", g_readModernLinks);
    SaveFlag("Recycle", g_deleteToRecycleBin);
    // xy and cxy keep the last normal rectangle while the window is minimized or
    // maximized, so that restoring it at the next start gives a sensible size.
    if (IsIconic(mainWindow))
    {
        SaveFlag("MaxMin", SW_SHOWMINIMIZED);
        return;
    }
    if (IsZoomed(mainWindow))
    {
        SaveFlag("MaxMin", SW_SHOWMAXIMIZED);
        return;
    }
    RECT rect;
    GetWindowRect(mainWindow, &rect);
    SavePair("xy", rect.left, rect.top);
    SavePair("cxy", rect.right - rect.left, rect.bottom - rect.top);
    SaveFlag("MaxMin", SW_SHOWNORMAL);
}

// Written as soon as the offer is made, not with the preferences: it is made once per
// installation, whatever Save Settings on Exit says.
bool WasModernLinksOffered()
{
    unsigned char offered = 0;
    QemReadRegEntry(kPreferencesSection, "ImpDirAsked", &offered, 0, QEM_PRODUCT_ORVENNA);
    return offered != 0;
}

void RememberModernLinksOffered()
{
    SaveFlag("ImpDirAsked", 1);
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
    QemReadRegEntry(kPreferencesSection, "MaxMin", &maxMin, 0, QEM_PRODUCT_ORVENNA);
    if (maxMin == SW_SHOWMINIMIZED || maxMin == SW_SHOWMAXIMIZED)
    {
        placement.showState = maxMin;
        return placement;
    }
    int left, top, width, height;
    placement.hasRect = ReadPair("xy", left, top) && ReadPair("cxy", width, height);
    if (placement.hasRect)
    {
        placement.left = left;
        placement.top = top;
        placement.width = width;
        placement.height = height;
    }
    return placement;
}
