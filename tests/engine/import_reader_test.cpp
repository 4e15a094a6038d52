// ReadImports on real files: PE32 files that the MinGW-w64 linker made at build time
// from tiny C sources (B:\fixtures\pe), Wine's own DLLs in the test prefix, and
// copies, cuts and foreign files that the tests make themselves.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/import_reader.h"
#include "engine/name_list.h"

namespace
{

const std::string kFixtures = "B:\\fixtures\\pe\\";

std::vector<std::string> ListNames(const NameList& list)
{
    std::vector<std::string> names;
    char buffer[kNameBufferSize];
    for (int i = 0; i < GetCount(list); i++)
        if (GetName(list, i, buffer) >= 0)
            names.emplace_back(buffer);
    return names;
}

using Names = std::vector<std::string>;

std::vector<char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t U32At(const std::vector<char>& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; i--)
        value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + static_cast<std::size_t>(i)));
    return value;
}

// A scratch folder of the prefix's own, emptied before and after each test.
class ImportReaderFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
        dir_ = std::string(temp) + "orv-import-reader\\";
        RemoveScratch();
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
    }
    void TearDown() override { RemoveScratch(); }

    std::string MakeFile(const std::string& name, const std::vector<char>& bytes)
    {
        std::string path = dir_ + name;
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << path;
        return path;
    }

    NameList list_;

private:
    void RemoveScratch()
    {
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((dir_ + "*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE)
        {
            do
                DeleteFileA((dir_ + entry.cFileName).c_str());
            while (FindNextFileA(find, &entry));
            FindClose(find);
        }
        RemoveDirectoryA(dir_.c_str());
    }

    std::string dir_;
};

TEST(ImportReader, DllNamesEveryModuleItImports)
{
    NameList list;
    EXPECT_EQ(2, ReadImports(list, (kFixtures + "twoimp.dll").c_str()));
    EXPECT_EQ((Names{"KERNEL32", "USER32"}), ListNames(list));
}

TEST(ImportReader, ProgramNamesTheDllItLinksTo)
{
    NameList list;
    EXPECT_EQ(2, ReadImports(list, (kFixtures + "useimp.exe").c_str()));
    EXPECT_EQ((Names{"KERNEL32", "twoimp"}), ListNames(list));
}

TEST(ImportReader, NamesAreAddedToWhatTheListHolds)
{
    NameList list;
    AddName(list, "KERNEL32");
    EXPECT_EQ(2, ReadImports(list, (kFixtures + "twoimp.dll").c_str()));
    EXPECT_EQ((Names{"KERNEL32", "KERNEL32", "USER32"}), ListNames(list));
}

TEST(ImportReader, ReadsFileOffsetsNotImageAddresses)
{
    // The fixture's sections are aligned to 0x1000 in memory and 0x200 in the file, so
    // .idata's RVA differs from its file offset: an image mapping would put other
    // bytes where the descriptors are looked for.
    std::vector<char> bytes = ReadBytes(kFixtures + "twoimp.dll");
    ASSERT_GT(bytes.size(), 0x200u);
    std::size_t headers = U32At(bytes, 0x3C);
    ASSERT_EQ(0x1000u, U32At(bytes, headers + 24 + 32)) << "SectionAlignment";
    ASSERT_EQ(0x200u, U32At(bytes, headers + 24 + 36)) << "FileAlignment";
    std::uint32_t importRva = U32At(bytes, headers + 24 + 104);
    bool differs = false;
    int sections = static_cast<std::uint8_t>(bytes.at(headers + 6));
    for (int i = 0; i < sections; i++)
    {
        std::size_t at = headers + 248 + 40 * static_cast<std::size_t>(i);
        if (U32At(bytes, at + 12) == importRva)
            differs = U32At(bytes, at + 20) != importRva;
    }
    ASSERT_TRUE(differs) << ".idata lies at the same offset in memory and in the file";

    NameList list;
    EXPECT_EQ(2, ReadImports(list, (kFixtures + "twoimp.dll").c_str()));
    EXPECT_EQ((Names{"KERNEL32", "USER32"}), ListNames(list));
}

TEST(ImportReader, WineDllsAreRead)
{
    // Wine's own kernel32, a PE32 file nobody here wrote: every descriptor gives a name,
    // and ntdll is always among them.
    NameList list;
    int answer = ReadImports(list, "C:\\windows\\system32\\kernel32.dll");
    ASSERT_GT(answer, 0);
    EXPECT_EQ(answer, GetCount(list));
    Names names = ListNames(list);
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "ntdll")) << ::testing::PrintToString(names);
}

TEST(ImportReader, FilesThatAreNoPe32AnswerMinusOne)
{
    struct Case
    {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"PE32+ DLL", kFixtures + "twoimp64.dll"},
        {"16-bit NE DLL of the prefix", "C:\\windows\\system\\ddeml.dll"},
        {"missing file", kFixtures + "no-such-file.dll"},
        {"directory", kFixtures},
    };
    for (const Case& c : cases)
    {
        NameList list;
        EXPECT_EQ(-1, ReadImports(list, c.path.c_str())) << c.what;
        EXPECT_EQ(0, GetCount(list)) << c.what;
    }
}

TEST_F(ImportReaderFiles, EmptyAndTextFilesAnswerMinusOne)
{
    std::string empty = MakeFile("empty.dll", {});
    std::string text = "MZ is how this text begins, but it is no executable.\r\n";
    std::string textPath = MakeFile("readme.dll", std::vector<char>(text.begin(), text.end()));

    EXPECT_EQ(-1, ReadImports(list_, empty.c_str()));
    EXPECT_EQ(-1, ReadImports(list_, textPath.c_str()));
    EXPECT_EQ(0, GetCount(list_));
}

TEST_F(ImportReaderFiles, CutCopyAnswersMinusOneKeepingNamesBeforeTheCut)
{
    // The linker writes the descriptors first and the module names after them, in
    // descriptor order: cutting the file inside USER32's name leaves KERNEL32 whole.
    std::vector<char> bytes = ReadBytes(kFixtures + "twoimp.dll");
    const std::string user32("USER32.dll\0", 11);
    auto at = std::search(bytes.begin(), bytes.end(), user32.begin(), user32.end());
    ASSERT_NE(bytes.end(), at);
    bytes.erase(at + 3, bytes.end());

    EXPECT_EQ(-1, ReadImports(list_, MakeFile("cut.dll", bytes).c_str()));
    EXPECT_EQ((Names{"KERNEL32"}), ListNames(list_));
}

// Views of files mapped into this process.
int CountMappedViews()
{
    int views = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize)
    {
        if (region.Type == MEM_MAPPED && region.BaseAddress == region.AllocationBase)
            views++;
    }
    return views;
}

TEST_F(ImportReaderFiles, FileIsReleasedOnEveryPath)
{
    std::vector<char> dll = ReadBytes(kFixtures + "twoimp.dll");
    const std::string whole = MakeFile("whole.dll", dll);
    const std::string cut = MakeFile("cut.dll", std::vector<char>(dll.begin(), dll.begin() + 0x100));
    const std::string empty = MakeFile("empty.dll", {});

    // What a leak leaves that a test can see here: an open file handle keeps the file
    // from being deleted, and a view stays in the address space. (Under Wine an open
    // mapping handle alone shows neither way.)
    const int views = CountMappedViews();
    HANDLE file = CreateFileA(whole.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(views + 1, CountMappedViews());
    EXPECT_FALSE(DeleteFileA(whole.c_str()));
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
    ASSERT_EQ(views, CountMappedViews());

    // Read to the end, failed while reading, empty, failed to open.
    EXPECT_EQ(2, ReadImports(list_, whole.c_str()));
    EXPECT_EQ(-1, ReadImports(list_, cut.c_str()));
    EXPECT_EQ(-1, ReadImports(list_, empty.c_str()));
    EXPECT_EQ(-1, ReadImports(list_, (whole + ".missing").c_str()));
    EXPECT_EQ(views, CountMappedViews());
    for (const std::string& path : {whole, cut, empty})
        EXPECT_TRUE(DeleteFileA(path.c_str())) << path << ": error " << GetLastError();
}

} // namespace
