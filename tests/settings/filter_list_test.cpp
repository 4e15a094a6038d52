#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/qemcom95.h"
#include "settings/settings.h"

namespace
{

const char kPreferencesKey[] = "Software\\Tessaly Software Ltd\\Orvenna\\4.70\\Preferences";

class FilterListTest : public ::testing::Test
{
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPreferencesKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPreferencesKey); }

    static int StoredCount()
    {
        unsigned char count = 0xEE;
        QemReadRegEntry(kPreferencesSection, "Count", &count, 0, QEM_PRODUCT_ORVENNA);
        return count;
    }
    static std::string StoredSlot(int n)
    {
        char value[FILTER_VALUE_SIZE_DIALOG + 1] = {};
        QemReadRegEntry(kPreferencesSection, ("Ext" + std::to_string(n)).c_str(), value,
                        FILTER_VALUE_SIZE_DIALOG, QEM_PRODUCT_ORVENNA);
        return value;
    }
    static std::vector<FilterEntry> Entries(std::initializer_list<FilterEntry> list) { return list; }
};

TEST_F(FilterListTest, NothingStoredMeansNoList)
{
    std::vector<FilterEntry> entries{{".OLD", 1}};
    EXPECT_FALSE(ReadFilterList(entries, FILTER_VALUE_SIZE_SCAN));
    EXPECT_TRUE(entries.empty());
}

TEST_F(FilterListTest, StoredListReadsBackInOrderWithBothSizes)
{
    StoreFilterList(Entries({{".EXE", 1}, {".INI", 0}, {".3GR", 1}}));
    EXPECT_EQ(3, StoredCount());
    EXPECT_EQ(".EXE 1", StoredSlot(1));
    EXPECT_EQ(".INI 0", StoredSlot(2));
    for (int size : {FILTER_VALUE_SIZE_SCAN, FILTER_VALUE_SIZE_DIALOG})
    {
        std::vector<FilterEntry> entries;
        ASSERT_TRUE(ReadFilterList(entries, size));
        ASSERT_EQ(3u, entries.size()) << "size " << size;
        EXPECT_EQ(".EXE", entries[0].extension);
        EXPECT_EQ(".INI", entries[1].extension);
        EXPECT_EQ(0, entries[1].kind);
        EXPECT_EQ(".3GR", entries[2].extension);
    }
}

TEST_F(FilterListTest, ShorterListEmptiesTheSlotsBeyondItsCount)
{
    StoreFilterList(Entries({{".A", 1}, {".B", 1}, {".C", 0}, {".D", 1}, {".E", 0}}));
    StoreFilterList(Entries({{".X", 0}, {".Y", 1}, {".Z", 1}}));
    EXPECT_EQ(3, StoredCount());
    EXPECT_EQ(".X 0", StoredSlot(1));
    EXPECT_EQ(".Z 1", StoredSlot(3));
    EXPECT_EQ("", StoredSlot(4));
    EXPECT_EQ("", StoredSlot(5));
}

TEST_F(FilterListTest, EmptyListBringsBackTheDefaults)
{
    StoreFilterList(Entries({{".A", 1}}));
    StoreFilterList({});
    EXPECT_EQ(0, StoredCount());
    std::vector<FilterEntry> entries;
    EXPECT_FALSE(ReadFilterList(entries, FILTER_VALUE_SIZE_SCAN));
}

TEST_F(FilterListTest, EmptySlotInsideTheCountIsSkippedNotTheEnd)
{
    StoreFilterList(Entries({{".A", 1}, {".B", 0}, {".C", 0}}));
    QemSaveRegEntry(kPreferencesSection, "Ext2", "", 0, QEM_PRODUCT_ORVENNA);
    std::vector<FilterEntry> entries;
    ASSERT_TRUE(ReadFilterList(entries, FILTER_VALUE_SIZE_SCAN));
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(".A", entries[0].extension);
    EXPECT_EQ(".C", entries[1].extension);

    std::vector<FilterEntry> slots;
    EXPECT_EQ(3, ReadFilterSlots(slots, FILTER_VALUE_SIZE_SCAN));
    ASSERT_EQ(3u, slots.size());
    EXPECT_TRUE(slots[1].extension.empty());
}

TEST_F(FilterListTest, ValueWithoutKindReadsAsExecutable)
{
    StoreFilterList(Entries({{".A", 0}}));
    QemSaveRegEntry(kPreferencesSection, "Ext1", ".OCX", 4, QEM_PRODUCT_ORVENNA);
    std::vector<FilterEntry> entries;
    ASSERT_TRUE(ReadFilterList(entries, FILTER_VALUE_SIZE_SCAN));
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(".OCX", entries[0].extension);
    EXPECT_EQ(FILE_KIND_EXECUTABLE, entries[0].kind);
}

TEST_F(FilterListTest, OverlongValueIsCutAtTheReadersSize)
{
    StoreFilterList(Entries({{".A", 0}}));
    QemSaveRegEntry(kPreferencesSection, "Ext1", ".ABCDEFGHIJ 0", 13, QEM_PRODUCT_ORVENNA);
    std::vector<FilterEntry> entries;
    ASSERT_TRUE(ReadFilterList(entries, FILTER_VALUE_SIZE_SCAN));
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(".ABCDEFGH", entries[0].extension);
    EXPECT_EQ(FILE_KIND_EXECUTABLE, entries[0].kind);
}

// Values missing, empty or not text: a scan by such a list would list every DLL that
// only programs use.
TEST_F(FilterListTest, StoredListSelectingNoProgramGivesTheScanTheDefaults)
{
    StoreFilterList(Entries({{".A", 1}, {".B", 1}, {".C", 1}}));
    QemSaveRegEntry(kPreferencesSection, "Ext1", "", 0, QEM_PRODUCT_ORVENNA);
    const DWORD number = 7;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kPreferencesKey, "Ext2", REG_DWORD, &number, sizeof number);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kPreferencesKey, "Ext3");
    ScanInputs inputs = StoredScanInputs();
    EXPECT_TRUE(inputs.storedListPassedOver);
    EXPECT_EQ(kDefaultFilters.size(), inputs.filters.size());

    StoreFilterList(Entries({{".INI", 0}, {".BIN", 1}}));
    inputs = StoredScanInputs();
    EXPECT_FALSE(inputs.storedListPassedOver);
    EXPECT_EQ(2u, inputs.filters.size());
}

TEST_F(FilterListTest, AtMost255EntriesAreStored)
{
    std::vector<FilterEntry> many;
    for (int i = 0; i < 300; i++)
        many.push_back({"." + std::to_string(i), 1});
    StoreFilterList(many);
    EXPECT_EQ(255, StoredCount());
    std::vector<FilterEntry> entries;
    ASSERT_TRUE(ReadFilterList(entries, FILTER_VALUE_SIZE_DIALOG));
    ASSERT_EQ(255u, entries.size());
    EXPECT_EQ(".254", entries.back().extension);
    EXPECT_EQ("", StoredSlot(256));
}

} // namespace
