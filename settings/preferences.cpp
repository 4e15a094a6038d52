#include <windows.h>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "settings/settings.h"

unsigned char g_showToolbar = 1;
unsigned char g_showStatusBar = 1;
unsigned char g_saveSettingsOnExit = 1;
unsigned char g_lowerCaseNames = 0;
unsigned char g_showToolTips = 1;

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
}
