// QemReadRegEntry and QemSaveRegEntry: round trips per product, preloaded buffers kept,
// texts cut without overrun.
#include "platform/qemcom95.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

constexpr char kSection[] = "PlatformTest";

struct Product
{
    int index;
    const char* key;
};

const Product kProducts[] = {
    {QEM_PRODUCT_ORVENNA, "Software\\Tessaly Software Ltd\\Orvenna\\4.70"},
    {QEM_PRODUCT_TAMBRIL, "Software\\Tessaly Software Ltd\\Tambril"},
    {QEM_PRODUCT_QUORSET, "Software\\Tessaly Software Ltd\\Quorset"},
    {QEM_PRODUCT_WINZIP, "Software\\Tessaly Software Ltd\\WinZip"},
};

std::string SectionKey(const Product& product)
{
    return std::string(product.key) + "\\" + kSection;
}

void DeleteSections()
{
    for (const Product& product : kProducts)
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, SectionKey(product).c_str());
}

// What the registry holds, read past the library: its type and bytes.
struct Raw
{
    DWORD type = REG_NONE;
    std::string bytes;
    bool found = false;
};

Raw ReadRaw(const Product& product, const char* name)
{
    Raw raw;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SectionKey(product).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return raw;
    char data[512];
    DWORD size = sizeof data;
    raw.found = RegQueryValueExA(key, name, nullptr, &raw.type, reinterpret_cast<BYTE*>(data), &size) ==
                ERROR_SUCCESS;
    if (raw.found)
        raw.bytes.assign(data, size);
    RegCloseKey(key);
    return raw;
}

void WriteRaw(const Product& product, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, SectionKey(product).c_str(), 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

int SaveText(const char* name, const char* text, int product)
{
    return QemSaveRegEntry(kSection, name, text, static_cast<int>(std::strlen(text)), product);
}

class RegistryTest : public testing::Test
{
protected:
    void SetUp() override { DeleteSections(); }
    void TearDown() override { DeleteSections(); }
};

TEST_F(RegistryTest, NumbersRoundTripInEveryProductsSection)
{
    for (const Product& product : kProducts)
    {
        for (BYTE stored : {BYTE{0}, BYTE{1}, BYTE{3}, BYTE{255}})
        {
            ASSERT_EQ(1, QemSaveRegEntry(kSection, "Toolbar", &stored, 0, product.index)) << product.index;
            BYTE read = 0x5A;
            EXPECT_EQ(1, QemReadRegEntry(kSection, "Toolbar", &read, 0, product.index)) << product.index;
            EXPECT_EQ(stored, read) << "product " << product.index;
        }
        Raw raw = ReadRaw(product, "Toolbar");
        ASSERT_TRUE(raw.found) << "the value lies in " << SectionKey(product);
        EXPECT_EQ(DWORD{REG_BINARY}, raw.type) << product.index;
        EXPECT_EQ(std::string(1, '\xFF'), raw.bytes) << "one byte, product " << product.index;
    }
}

TEST_F(RegistryTest, TextsRoundTripInEveryProductsSection)
{
    for (const Product& product : kProducts)
    {
        const char* path = "C:\\Program Files\\Tessaly\\TAMBRIL.EXE";
        ASSERT_EQ(1, SaveText("Path", path, product.index));
        char read[MAX_PATH] = "TAMBRIL.EXE";
        EXPECT_EQ(1, QemReadRegEntry(kSection, "Path", read, MAX_PATH, product.index));
        EXPECT_STREQ(path, read) << "product " << product.index;

        Raw raw = ReadRaw(product, "Path");
        ASSERT_TRUE(raw.found) << "the value lies in " << SectionKey(product);
        EXPECT_EQ(DWORD{REG_SZ}, raw.type);
        EXPECT_STREQ(path, raw.bytes.c_str());
    }
}

TEST_F(RegistryTest, ProductsKeepSeparateValues)
{
    ASSERT_EQ(1, SaveText("Path", "C:\\TOOLS\\TAMBRIL.EXE", QEM_PRODUCT_TAMBRIL));
    ASSERT_EQ(1, SaveText("Path", "C:\\TOOLS\\QUORSET.EXE", QEM_PRODUCT_QUORSET));
    char tambril[MAX_PATH] = "";
    char quorset[MAX_PATH] = "";
    char orvenna[MAX_PATH] = "none";
    QemReadRegEntry(kSection, "Path", tambril, MAX_PATH, QEM_PRODUCT_TAMBRIL);
    QemReadRegEntry(kSection, "Path", quorset, MAX_PATH, QEM_PRODUCT_QUORSET);
    EXPECT_EQ(0, QemReadRegEntry(kSection, "Path", orvenna, MAX_PATH, QEM_PRODUCT_ORVENNA));
    EXPECT_STREQ("C:\\TOOLS\\TAMBRIL.EXE", tambril);
    EXPECT_STREQ("C:\\TOOLS\\QUORSET.EXE", quorset);
    EXPECT_STREQ("none", orvenna);
}

TEST_F(RegistryTest, AbsentValueLeavesPreloadedBuffer)
{
    BYTE number = 1;
    char text[16] = "WINZIP.EXE";
    // The section key does not exist yet, then it exists without the value.
    EXPECT_EQ(0, QemReadRegEntry(kSection, "QScan", &number, 0, QEM_PRODUCT_ORVENNA));
    EXPECT_EQ(0, QemReadRegEntry(kSection, "WinZip", text, 15, QEM_PRODUCT_ORVENNA));
    ASSERT_EQ(1, SaveText("Other", "x", QEM_PRODUCT_ORVENNA));
    EXPECT_EQ(0, QemReadRegEntry(kSection, "QScan", &number, 0, QEM_PRODUCT_ORVENNA));
    EXPECT_EQ(0, QemReadRegEntry(kSection, "WinZip", text, 15, QEM_PRODUCT_ORVENNA));
    EXPECT_EQ(1, number);
    EXPECT_STREQ("WINZIP.EXE", text);
}

TEST_F(RegistryTest, UnknownProductReadsAndWritesNothing)
{
    BYTE number = 9;
    EXPECT_EQ(0, QemSaveRegEntry(kSection, "Count", &number, 0, 5));
    EXPECT_EQ(0, QemReadRegEntry(kSection, "Count", &number, 0, 5));
    EXPECT_EQ(0, QemSaveRegEntry(kSection, "Count", &number, -1, QEM_PRODUCT_ORVENNA));
    EXPECT_EQ(0, QemReadRegEntry(kSection, "Count", nullptr, 0, QEM_PRODUCT_ORVENNA));
    EXPECT_EQ(9, number);
}

TEST_F(RegistryTest, TextLongerThanSizeIsCutWithoutOverrun)
{
    ASSERT_EQ(1, SaveText("Ext1", ".LONGEXTENSION 1", QEM_PRODUCT_ORVENNA));
    char buffer[10];
    std::memset(buffer, '#', sizeof buffer); // buffer[9] is the guard
    EXPECT_EQ(1, QemReadRegEntry(kSection, "Ext1", buffer, 9, QEM_PRODUCT_ORVENNA));
    EXPECT_EQ(std::string(".LONGEXTE"), std::string(buffer, 9)) << "exactly the first 9 bytes, no terminator";
    EXPECT_EQ('#', buffer[9]) << "nothing written past the size";
}

TEST_F(RegistryTest, TextIsSavedWithTheGivenLengthOnly)
{
    const char text[] = ".EXE 1garbage";
    ASSERT_EQ(1, QemSaveRegEntry(kSection, "Ext1", text, 6, QEM_PRODUCT_ORVENNA));
    char read[100] = {};
    EXPECT_EQ(1, QemReadRegEntry(kSection, "Ext1", read, 99, QEM_PRODUCT_ORVENNA));
    EXPECT_STREQ(".EXE 1", read);
}

// A preloaded default longer than the stored text must not show its tail after it.
TEST_F(RegistryTest, ShorterTextEndsBeforePreloadedTail)
{
    ASSERT_EQ(1, SaveText("WinZip", "C:\\WZ.EXE", QEM_PRODUCT_ORVENNA));
    char read[MAX_PATH] = "WINZIP.EXE and more";
    EXPECT_EQ(1, QemReadRegEntry(kSection, "WinZip", read, MAX_PATH, QEM_PRODUCT_ORVENNA));
    EXPECT_STREQ("C:\\WZ.EXE", read);
}

// Erasing a filter entry saves an empty text with size 0; reading it as text gives "".
TEST_F(RegistryTest, ErasedEntryReadsAsEmptyText)
{
    ASSERT_EQ(1, SaveText("Ext2", ".DLL 1", QEM_PRODUCT_ORVENNA));
    ASSERT_EQ(1, QemSaveRegEntry(kSection, "Ext2", "", 0, QEM_PRODUCT_ORVENNA));
    char read[10] = ".OLD 1";
    EXPECT_EQ(1, QemReadRegEntry(kSection, "Ext2", read, 9, QEM_PRODUCT_ORVENNA));
    EXPECT_STREQ("", read);
}

TEST_F(RegistryTest, ValuesOfAnotherFormLeaveBuffer)
{
    const Product& orvenna = kProducts[0];
    ASSERT_EQ(1, SaveText("Text", "1", QEM_PRODUCT_ORVENNA));
    DWORD big = 300;
    WriteRaw(orvenna, "Big", REG_DWORD, &big, sizeof big);
    WriteRaw(orvenna, "Wide", REG_BINARY, "\x01\x02", 2);
    DWORD small = 7;
    WriteRaw(orvenna, "Small", REG_DWORD, &small, sizeof small);

    BYTE number = 42;
    EXPECT_EQ(0, QemReadRegEntry(kSection, "Text", &number, 0, QEM_PRODUCT_ORVENNA))
        << "text read as a number";
    EXPECT_EQ(0, QemReadRegEntry(kSection, "Big", &number, 0, QEM_PRODUCT_ORVENNA)) << "DWORD beyond a byte";
    EXPECT_EQ(0, QemReadRegEntry(kSection, "Wide", &number, 0, QEM_PRODUCT_ORVENNA)) << "two binary bytes";
    EXPECT_EQ(42, number);
    char text[8] = "keep";
    EXPECT_EQ(0, QemReadRegEntry(kSection, "Small", text, 7, QEM_PRODUCT_ORVENNA)) << "DWORD read as text";
    EXPECT_STREQ("keep", text);

    EXPECT_EQ(1, QemReadRegEntry(kSection, "Small", &number, 0, QEM_PRODUCT_ORVENNA))
        << "DWORD within a byte";
    EXPECT_EQ(7, number);
}

// Values written by other tools: a REG_SZ with its terminator, a binary text without one.
TEST_F(RegistryTest, ReadsTextsWrittenByOthers)
{
    const Product& orvenna = kProducts[0];
    WriteRaw(orvenna, "Terminated", REG_SZ, "C:\\A.EXE", 9);
    WriteRaw(orvenna, "Binary", REG_BINARY, ".INI 0", 6);
    char read[32];
    std::memset(read, '#', sizeof read);
    EXPECT_EQ(1, QemReadRegEntry(kSection, "Terminated", read, 31, QEM_PRODUCT_ORVENNA));
    EXPECT_STREQ("C:\\A.EXE", read);
    std::memset(read, '#', sizeof read);
    EXPECT_EQ(1, QemReadRegEntry(kSection, "Binary", read, 31, QEM_PRODUCT_ORVENNA));
    EXPECT_STREQ(".INI 0", read);
}

} // namespace
