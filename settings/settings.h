// Settings: preferences and the filter list, kept in Orvenna's registry key.
#pragma once

#include <windows.h>

#include <vector>

#include "engine/filter_entry.h"
#include "engine/scan_inputs.h"

// The section of Orvenna's key that holds preferences and the filter list.
constexpr const char* kPreferencesSection = "Preferences";

// preferences.cpp
// The preference flags, each 0 or 1.
extern unsigned char g_showToolbar;
extern unsigned char g_showStatusBar;
extern unsigned char g_saveSettingsOnExit;
extern unsigned char g_lowerCaseNames;
extern unsigned char g_showToolTips;
// Delete moves files to the Recycle Bin instead of removing them.
extern unsigned char g_deleteToRecycleBin;
// Quick Scan Only and Read Modern Links: what the window's scans read at every file.
extern unsigned char g_quickScan;
extern unsigned char g_readModernLinks;
// Include 64-bit DLLs, which a scan takes when it starts.
extern unsigned char g_scan64Bit;
// Makes sure Orvenna's key exists, then reads every flag over its default.
void LoadPreferences();
// Stores the flags and the window's placement: MaxMin 2 or 3 alone while it is
// minimized or maximized, else its rectangle in xy and cxy and MaxMin 1.
void SavePreferences(HWND mainWindow);

// The placement start-up restores. Only a normal window (MaxMin 1) has a rectangle,
// and only when xy and cxy both hold two integers.
struct StoredPlacement
{
    int showState = 1; // 1 normal, 2 minimized, 3 maximized
    bool hasRect = false;
    int left = 0, top = 0, width = 0, height = 0;
};
// A MaxMin other than 1, 2 or 3 is read as 1: passed to ShowWindow as it stands, 0
// would hide the window at every start and the user could never reach it again.
StoredPlacement ReadStoredPlacement();
// Whether the window has once offered to turn Read Modern Links on (ImpDirAsked),
// and the record that it has.
bool WasModernLinksOffered();
void RememberModernLinksOffered();
// The same for Include 64-bit DLLs (Scan64Asked).
bool WasScan64BitOffered();
void RememberScan64BitOffered();

// filter_list.cpp
// How many bytes of an "Ext%d" value each reader takes.
constexpr int FILTER_VALUE_SIZE_DIALOG = 100;
constexpr int FILTER_VALUE_SIZE_SCAN = 9;
// With the modern reading: room for a dot, eight characters, a blank and a kind.
constexpr int FILTER_VALUE_SIZE_MODERN_SCAN = 16;
// The stored slots Ext1..ExtN in order; an empty value gives an entry with an empty
// extension. Returns N: 0 when no list is stored.
int ReadFilterSlots(std::vector<FilterEntry>& slots, int valueSize);
// The stored list without its empty slots; false when no list is stored.
bool ReadFilterList(std::vector<FilterEntry>& entries, int valueSize);
void EraseFilterList();
// Replaces the stored list; entries beyond MAX_FILTER_ENTRIES are not stored.
void StoreFilterList(const std::vector<FilterEntry>& entries);
// What the stored settings hand a scan: the stored slots, or the default table when
// none are stored or the stored ones select no program, the live Quick Scan and Read
// Modern Links flags, and Include 64-bit DLLs.
ScanInputs StoredScanInputs();

// filters_dialog.cpp
// Command 916: the Filters dialog (5010), which stores the edited list on OK. Returns
// 1 after OK, else 0; does nothing during a scan.
int SetFilters(HWND mainWindow);
