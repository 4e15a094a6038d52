#include <windows.h>

#include <cstdio>

#include "engine/path_parts.h"
#include "platform/ascii_case.h"
#include "platform/qemcom95.h"
#include "settings/settings.h"

// The number of stored slots, Ext1..ExtN.
static constexpr char kCountValue[] = "Count";

static unsigned char ReadFilterCount()
{
    unsigned char count = 0;
    QemReadRegEntry(kPreferencesSection, kCountValue, &count, 0, QEM_PRODUCT_ORVENNA);
    return count;
}

static void FormatSlotName(int n, char (&name)[16])
{
    std::snprintf(name, sizeof name, "Ext%d", n);
}

int ReadFilterSlots(std::vector<FilterEntry>& slots, int valueSize)
{
    slots.clear();
    int count = ReadFilterCount();
    for (int n = 1; n <= count; n++)
    {
        char name[16];
        FormatSlotName(n, name);
        char value[FILTER_VALUE_SIZE_DIALOG + 1] = {};
        QemReadRegEntry(kPreferencesSection, name, value, valueSize, QEM_PRODUCT_ORVENNA);
        FilterEntry entry{};
        if (!ParseFilterEntry(value, entry))
            entry = FilterEntry{};
        slots.push_back(entry);
    }
    return count;
}

bool ReadFilterList(std::vector<FilterEntry>& entries, int valueSize)
{
    std::vector<FilterEntry> slots;
    entries.clear();
    if (ReadFilterSlots(slots, valueSize) == 0)
        return false;
    for (FilterEntry& slot : slots)
        if (!slot.extension.empty())
            entries.push_back(std::move(slot));
    return true;
}

void EraseFilterList()
{
    int count = ReadFilterCount();
    for (int n = 1; n <= count; n++)
    {
        char name[16];
        FormatSlotName(n, name);
        QemSaveRegEntry(kPreferencesSection, name, "", 0, QEM_PRODUCT_ORVENNA);
    }
    unsigned char zero = 0;
    QemSaveRegEntry(kPreferencesSection, kCountValue, &zero, 0, QEM_PRODUCT_ORVENNA);
}

void StoreFilterList(const std::vector<FilterEntry>& entries)
{
    EraseFilterList();
    const size_t stored = std::min<size_t>(entries.size(), MAX_FILTER_ENTRIES);
    unsigned char count = static_cast<unsigned char>(stored);
    QemSaveRegEntry(kPreferencesSection, kCountValue, &count, 0, QEM_PRODUCT_ORVENNA);
    for (size_t i = 0; i < stored; i++)
    {
        char name[16];
        FormatSlotName(static_cast<int>(i) + 1, name);
        std::string text = FormatFilterEntry(entries[i]);
        QemSaveRegEntry(kPreferencesSection, name, text.c_str(), static_cast<int>(text.size()),
                        QEM_PRODUCT_ORVENNA);
    }
}

// ".DLL" is the library pass whatever its kind.
static bool SelectsAProgram(const std::vector<FilterEntry>& slots)
{
    for (const FilterEntry& slot : slots)
        if (slot.kind == FILE_KIND_EXECUTABLE && !slot.extension.empty() &&
            !EqualsIgnoringCase(slot.extension, ".DLL"))
            return true;
    return false;
}

ScanInputs StoredScanInputs()
{
    ScanInputs inputs{{}, &g_quickScan, &g_readModernLinks};
    inputs.scan64 = g_scan64Bit != 0;
    // A damaged list (Ext values missing, empty or not text) selects no program, and a
    // scan by it would list every DLL that only programs use.
    if (ReadFilterSlots(inputs.filters,
                        g_readModernLinks ? FILTER_VALUE_SIZE_MODERN_SCAN : FILTER_VALUE_SIZE_SCAN) > 0)
    {
        if (SelectsAProgram(inputs.filters))
            return inputs;
        inputs.storedListPassedOver = true;
        inputs.filters.clear();
    }
    for (const DefaultFilter& filter : kDefaultFilters)
        inputs.filters.push_back({filter.extension, filter.kind});
    return inputs;
}
