// QemGetDOSFileName and QemGetDateTimeSize on real files of the test prefix.
#include "platform/qemcom95.h"
#include "tests/platform/platform_test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

class FileNamesTest : public testing::Test
{
protected:
    ScratchFolder folder_{"orv file names"};
};

// Every component after the drive fits 8.3 and holds no blank.
void ExpectShortComponents(const std::string& path)
{
    size_t start = path.find('\\');
    ASSERT_NE(std::string::npos, start) << path;
    while (start != std::string::npos)
    {
        size_t end = path.find('\\', start + 1);
        std::string part =
            path.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        size_t dot = part.find('.');
        std::string base = part.substr(0, dot);
        std::string extension = dot == std::string::npos ? "" : part.substr(dot + 1);
        EXPECT_EQ(std::string::npos, part.find(' ')) << part << " in " << path;
        EXPECT_LE(base.size(), 8u) << part << " in " << path;
        EXPECT_LE(extension.size(), 3u) << part << " in " << path;
        start = end;
    }
}

TEST_F(FileNamesTest, LongPathGivesShortFormNamingSameFile)
{
    std::string folder = folder_ / "Shared Library Folder";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string path = folder + "\\Possibly Unlinked Library.dll";
    WriteText(path, "the one file");

    char out[MAX_PATH + 1];
    out[MAX_PATH] = '#';
    EXPECT_EQ(1, QemGetDOSFileName(path.c_str(), out));
    EXPECT_NE(path, out);
    ExpectShortComponents(out);
    EXPECT_EQ("the one file", ReadText(out)) << out;
    EXPECT_EQ('#', out[MAX_PATH]);
}

TEST_F(FileNamesTest, SameBufferInAndOut)
{
    std::string path = folder_ / "A Long Name For A Library.dll";
    WriteText(path, "x");
    char buffer[MAX_PATH];
    std::strcpy(buffer, path.c_str());
    EXPECT_EQ(1, QemGetDOSFileName(buffer, buffer));
    ExpectShortComponents(buffer);
    EXPECT_EQ("x", ReadText(buffer));
}

TEST_F(FileNamesTest, MissingFileIsReturnedUnchanged)
{
    std::string path = folder_ / "No Such Folder\\No Such Library.dll";
    char out[MAX_PATH] = "junk";
    EXPECT_EQ(0, QemGetDOSFileName(path.c_str(), out));
    EXPECT_EQ(path, out);
}

TEST_F(FileNamesTest, OverlongInputIsCutToFit)
{
    std::string path = "C:\\" + std::string(400, 'L') + "\\library.dll";
    char out[MAX_PATH + 1];
    out[MAX_PATH] = '#';
    EXPECT_EQ(0, QemGetDOSFileName(path.c_str(), out));
    EXPECT_EQ(path.substr(0, MAX_PATH - 1), out);
    EXPECT_EQ('#', out[MAX_PATH]) << "nothing written past MAX_PATH bytes";
}

TEST_F(FileNamesTest, DateTimeSizeOfKnownFile)
{
    std::string path = folder_ / "sized file.dll";
    WriteText(path, std::string(12345, 'z'));
    SYSTEMTIME local = {};
    local.wYear = 1996;
    local.wMonth = 4;
    local.wDay = 3;
    local.wHour = 14;
    local.wMinute = 5;
    local.wSecond = 6;
    FILETIME localTime, written;
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &written));
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);

    char date[21], time[21];
    date[20] = time[20] = '#';
    DWORD size = 0;
    EXPECT_NE(0, QemGetDateTimeSize(path.c_str(), date, time, &size));
    EXPECT_EQ(12345u, size);
    EXPECT_STREQ("1996-04-03", date);
    EXPECT_STREQ("14:05:06", time);
    EXPECT_EQ('#', date[20]);
    EXPECT_EQ('#', time[20]);

    size = 0;
    EXPECT_NE(0, QemGetDateTimeSize(path.c_str(), nullptr, nullptr, &size))
        << "the date and time may be ignored";
    EXPECT_EQ(12345u, size);
}

TEST_F(FileNamesTest, DateTimeSizeAnswersZeroForNoFile)
{
    DWORD size = 77;
    char date[20], time[20];
    EXPECT_EQ(0, QemGetDateTimeSize((folder_ / "gone.dll").c_str(), date, time, &size));
    EXPECT_EQ(0, QemGetDateTimeSize(folder_.Path().c_str(), date, time, &size)) << "a directory";
    EXPECT_EQ(77u, size);
}

} // namespace
