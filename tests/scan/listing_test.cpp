// The walk decides patterns, short paths and module lookups from one listing of each
// directory instead of asking the platform. These tests hold every such answer against
// the platform's own, on every directory of the fixture drives (hostile names
// included) and on a directory of names that Windows stores under a second, 8.3 name.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/file_pattern.h"
#include "engine/filter_entry.h"
#include "engine/path_parts.h"
#include "engine/scan_memory.h"
#include "engine/scan_state.h"
#include "platform/ascii_case.h"
#include "platform/qemcom95.h"
#include "tests/scan/scan_test_util.h"

namespace
{

// The long names that the platform's own enumeration on pattern gives, in its order.
std::vector<std::string> EnumeratePattern(const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(entry.cFileName);
    while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

std::vector<std::string> Subdirectories(const DirectoryListing& listing)
{
    std::vector<std::string> names;
    for (const ListedEntry& entry : listing.entries)
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsPlainName(entry.longName))
            names.push_back(entry.longName);
    return names;
}

struct Coverage
{
    int plainDirectories = 0;
    int otherDirectories = 0;
    int matches = 0;
    int shortNames = 0;
};

// Checks the current directory's listing against the platform, then its subdirectories.
void CheckDirectory(const std::vector<std::string>& patterns, Coverage& coverage)
{
    ASSERT_TRUE(ListCurrentDirectory());
    const DirectoryListing listing = *CurrentListing();
    SCOPED_TRACE(listing.directory);
    if (!listing.plain)
        coverage.otherDirectories++;
    else
    {
        coverage.plainDirectories++;
        for (const std::string& pattern : patterns)
        {
            ASSERT_TRUE(IsPlainPattern(pattern)) << pattern;
            std::vector<std::string> listed;
            for (const ListedEntry& entry : listing.entries)
                if (MatchesPlainPattern(pattern, entry.longName, entry.shortName))
                    listed.push_back(entry.longName);
            EXPECT_EQ(EnumeratePattern(pattern), listed) << pattern;
            coverage.matches += static_cast<int>(listed.size());
        }
        for (const ListedEntry& entry : listing.entries)
        {
            std::string path = JoinPath(listing.directory, entry.longName);
            char expected[MAX_PATH];
            QemGetDOSFileName(path.c_str(), expected);
            EXPECT_EQ(std::string(expected), ShortPathOfEntry(listing, entry, path.c_str())) << path;
            coverage.shortNames += !entry.shortName.empty();
        }
    }
    // The same entries named by full path in a text, whatever their directory's names.
    g_scanning = 1;
    for (const ListedEntry& entry : listing.entries)
    {
        std::string path = JoinPath(listing.directory, entry.longName);
        char expected[MAX_PATH];
        QemGetDOSFileName(path.c_str(), expected);
        EXPECT_EQ(std::string(expected), ShortPathOfNamedFile(path.c_str())) << path;
    }
    g_scanning = 0;
    ForgetListing();
    for (const std::string& name : Subdirectories(listing))
    {
        // The walk does not enter what lies beyond the longest path either.
        if (JoinPath(listing.directory, name).size() > kMaxPathLength)
            continue;
        ASSERT_TRUE(SetCurrentDirectoryA(JoinPath(listing.directory, name).c_str())) << name;
        CheckDirectory(patterns, coverage);
    }
}

std::vector<std::string> DefaultPatterns()
{
    std::vector<std::string> patterns;
    for (const DefaultFilter& filter : kDefaultFilters)
        patterns.push_back("*" + ToUpperAscii(filter.extension));
    // Lower case and a digit-led extension as a stored list may hold them.
    patterns.push_back("*.dll");
    patterns.push_back("*.3GR");
    return patterns;
}

TEST(DirectoryListingTest, AnswersAsThePlatformOnEveryFixtureDirectory)
{
    Coverage coverage;
    // M: is left out: thousands of directories like the others, at length.
    for (char letter : {'W', 'F', 'H', 'K', 'L', 'G', 'N'})
    {
        ASSERT_TRUE(DriveIsMapped(letter));
        const std::string root = std::string(1, letter) + ":\\";
        ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
        CheckDirectory(DefaultPatterns(), coverage);
    }
    SetCurrentDirectoryA("B:\\");
    ForgetScanMemory();
    // The drives hold both kinds of directory, and names the listing had to match.
    EXPECT_GT(coverage.plainDirectories, 10);
    EXPECT_GT(coverage.otherDirectories, 0);
    EXPECT_GT(coverage.matches, 20);
    EXPECT_GT(coverage.shortNames, 0);
}

class ScratchDirectory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Remove();
        ASSERT_TRUE(CreateDirectoryA(kRoot, nullptr));
    }
    void TearDown() override
    {
        SetCurrentDirectoryA("B:\\");
        Remove();
    }

    static void Remove() { RemoveTree(kRoot); }

    static void RemoveTree(const std::string& directory)
    {
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE)
        {
            do
            {
                if (!std::strcmp(entry.cFileName, ".") || !std::strcmp(entry.cFileName, ".."))
                    continue;
                std::string path = directory + "\\" + entry.cFileName;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    DeleteFileA(path.c_str());
            } while (FindNextFileA(find, &entry));
            FindClose(find);
        }
        RemoveDirectoryA(directory.c_str());
    }

    static void Touch(const char* name)
    {
        HANDLE file = CreateFileA((std::string(kRoot) + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << name;
        CloseHandle(file);
    }

    static constexpr const char* kRoot = "B:\\listing scratch";
};

// Names that are not 8.3 (blanks, several dots, long extensions, characters 8.3 names
// cannot hold) have a second name, and a pattern takes a file by either.
TEST_F(ScratchDirectory, NamesWithA83NameMatchAndShortenAsThePlatformDoes)
{
    for (const char* name :
         {"a b.dll", "long library name.dll", "x.dllx", "lower.dll", "MiXeD.DlL", "a.b.c.dll", "nodot",
          "toolongname.dl", "ab.dll.bak", "name;semi.dll", "name+plus.exe", "name[1].ini", "name,comma.scr",
          "name=eq.3gr", "trail.dll.dll", "x.exe.dll"})
        Touch(name);
    ASSERT_TRUE(CreateDirectoryA((std::string(kRoot) + "\\sub.dll").c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(kRoot));

    Coverage coverage;
    CheckDirectory(DefaultPatterns(), coverage);
    EXPECT_EQ(2, coverage.plainDirectories);
    EXPECT_GT(coverage.shortNames, 8);
}

// A module found in the current directory, by its long or its 8.3 name, resolves to the
// same short path from the listing as from the platform's search; so does one found
// further along the search order, and one found nowhere.
TEST_F(ScratchDirectory, ModuleLookupsFromTheListingResolveAsTheSearchDoes)
{
    for (const char* name : {"liba.dll", "long library name.dll", "onlyexe.exe", "MIXED.Dll"})
        Touch(name);
    ASSERT_TRUE(CreateDirectoryA((std::string(kRoot) + "\\dirlib.dll").c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(kRoot));
    ASSERT_TRUE(ListCurrentDirectory());
    std::string shortLong;
    for (const ListedEntry& entry : CurrentListing()->entries)
        if (entry.longName == "long library name.dll")
            shortLong = entry.shortName.substr(0, entry.shortName.rfind('.'));
    ASSERT_FALSE(shortLong.empty());

    for (const std::string& module :
         {std::string("LIBA"), shortLong, std::string("onlyexe"), std::string("mixed"), std::string("dirlib"),
          std::string("KERNEL32"), std::string("nowhere")})
    {
        SCOPED_TRACE(module);
        char searched[MAX_PATH];
        lstrcpynA(searched, module.c_str(), MAX_PATH);
        g_scanning = 0;
        const int expected = ResolveModule(searched);

        // Twice within a scan: the first fills the lookups, the second uses them.
        g_scanning = 1;
        for (int round = 0; round < 2; round++)
        {
            char listed[MAX_PATH];
            lstrcpynA(listed, module.c_str(), MAX_PATH);
            EXPECT_EQ(expected, ResolveModule(listed));
            EXPECT_TRUE(EqualsIgnoringCase(searched, listed)) << searched << " / " << listed;
        }
        g_scanning = 0;
        ForgetScanMemory();
    }
    ForgetListing();
}

// A file named by full path in a text is shortened from listings of its directories,
// as the platform shortens it: every way of writing the path that a text may hold,
// files that are not there, and paths that only the platform can answer.
TEST_F(ScratchDirectory, NamedFilesShortenAsThePlatformDoes)
{
    const std::string root = kRoot;
    ASSERT_TRUE(CreateDirectoryA((root + "\\Long Folder Name").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((root + "\\Long Folder Name\\sub dir").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((root + "\\PLAIN").c_str(), nullptr));
    for (const char* name :
         {"Long Folder Name\\sub dir\\long library name.dll", "Long Folder Name\\Mixed.Dll",
          "PLAIN\\a.b.c.dll", "PLAIN\\short.dll", "top level.dll"})
        Touch(name);
    char folder[MAX_PATH];
    ASSERT_TRUE(QemGetDOSFileName((root + "\\Long Folder Name").c_str(), folder));
    const std::string shortFolder = folder;

    std::vector<std::string> paths;
    for (const char* relative :
         {"Long Folder Name\\sub dir\\long library name.dll",
          "long folder name\\SUB DIR\\LONG LIBRARY NAME.DLL", "Long Folder Name\\Mixed.Dll",
          "long folder name\\mixed.dll", "PLAIN\\a.b.c.dll", "plain\\short.DLL", "top level.dll",
          "Long Folder Name\\sub dir", "Long Folder Name\\missing file.dll", "Long Folder Name\\missing.dll",
          "Missing Folder\\x.dll", "MISSING\\y.dll", "PLAIN\\", "PLAIN\\\\short.dll", "PLAIN/short.dll",
          "PLAIN\\.\\short.dll", "Long Folder Name\\..\\top level.dll", "PLAIN\\short.dll "})
        paths.push_back(root + "\\" + relative);
    // The folder by its 8.3 name, as a text may hold it.
    paths.push_back(shortFolder + "\\sub dir\\long library name.dll");
    paths.push_back(shortFolder + "\\mixed.dll");
    paths.push_back("b:\\listing scratch\\top level.dll");
    paths.push_back("B:\\");

    g_scanning = 1;
    for (int round = 0; round < 2; round++)
        for (const std::string& path : paths)
        {
            char expected[MAX_PATH];
            QemGetDOSFileName(path.c_str(), expected);
            EXPECT_EQ(std::string(expected), ShortPathOfNamedFile(path.c_str())) << path;
        }
    g_scanning = 0;
    ForgetScanMemory();
    // The files can be shortened at all: the comparisons above are not of paths copied.
    char shortened[MAX_PATH];
    ASSERT_TRUE(QemGetDOSFileName(paths[0].c_str(), shortened));
    EXPECT_NE(paths[0], shortened);
}

// A walk leaves the process's current directory where it was; a relative name that
// only the platform can shorten is still taken from the walk's directory.
TEST_F(ScratchDirectory, RelativeNamedFileIsTakenFromTheWalksDirectory)
{
    const std::string sub = std::string(kRoot) + "\\sub";
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    Touch("long library name.dll");
    const char relative[] = "..\\long library name.dll";
    ASSERT_TRUE(SetCurrentDirectoryA(sub.c_str()));
    char expected[MAX_PATH];
    ASSERT_EQ(1, QemGetDOSFileName(relative, expected));
    ASSERT_TRUE(SetCurrentDirectoryA("B:\\"));
    SetScanDirectory(sub);
    EXPECT_EQ(expected, ShortPathOfNamedFile(relative));
    SetScanDirectory({});
}

} // namespace
