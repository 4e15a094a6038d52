// The archive writer on memory sources, its archives checked by unzip and Python's
// zipfile (zip_check.py): mixed contents, a source that fails halfway, ZIP64 end
// records for a count past 65,535, ZIP64 size fields, a disk that fills up.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "results/zip_writer.h"

namespace
{

namespace fs = std::filesystem;

class FileSink final : public ZipOutput
{
public:
    explicit FileSink(const fs::path& path, std::uint64_t room = UINT64_MAX)
        : out_(path, std::ios::binary), room_(room)
    {
    }
    bool Write(const void* data, std::size_t size) override
    {
        if (size > room_)
            return false;
        room_ -= size;
        out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        return static_cast<bool>(out_);
    }
    bool Rewrite(std::uint64_t position, const void* data, std::size_t size) override
    {
        const auto end = out_.tellp();
        out_.seekp(static_cast<std::streamoff>(position));
        out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        out_.seekp(end);
        return static_cast<bool>(out_);
    }
    bool CutBack(std::uint64_t position) override
    {
        out_.seekp(static_cast<std::streamoff>(position));
        return static_cast<bool>(out_);
    }
    void Close(const fs::path& path)
    {
        const auto end = out_.tellp();
        out_.close();
        fs::resize_file(path, static_cast<std::uintmax_t>(end));
    }

private:
    std::ofstream out_;
    std::uint64_t room_;
};

// Hands out its bytes in pieces; failAt: the read that fails (-1: none).
class MemorySource final : public ZipInput
{
public:
    explicit MemorySource(const std::string& bytes, int failAt = -1) : bytes_(bytes), failAt_(failAt) {}
    long long Read(void* buffer, std::size_t size) override
    {
        if (reads_++ == failAt_)
            return -1;
        const std::size_t n = std::min(size, bytes_.size() - at_);
        std::copy_n(bytes_.data() + at_, n, static_cast<char*>(buffer));
        at_ += n;
        return static_cast<long long>(n);
    }

private:
    const std::string& bytes_;
    int failAt_;
    int reads_ = 0;
    std::size_t at_ = 0;
};

class ZipWriterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "root");
        expected_.open(dir_ / "out.zip.expected");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Adds name with bytes (and keeps them as the expected copy when they should arrive).
    ZipAddResult Add(ZipWriter& writer, const std::string& name, const std::string& bytes, int failAt = -1,
                     std::uint64_t expectedSize = 0)
    {
        ZipRecord record;
        record.name = name;
        MemorySource source(bytes, failAt);
        ZipAddResult result = writer.Add(record, expectedSize ? expectedSize : bytes.size(), source);
        if (result == ZipAddResult::Added)
        {
            fs::create_directories((dir_ / "root" / name).parent_path());
            std::ofstream(dir_ / "root" / name, std::ios::binary) << bytes;
            expected_ << name << '\n';
        }
        return result;
    }

    // zip_check.py's verdict: empty when the archive passes.
    // zip_check.py's verdict on the archive: empty when it passes. Without a count, it
    // holds exactly the files added.
    std::string Check(int count = -1)
    {
        expected_.close();
        const std::string what =
            count < 0 ? "'" + (dir_ / "root").string() + "'" : "--count " + std::to_string(count);
        const std::string command = "python3 " ORV_ZIP_CHECK " '" + archive_.string() + "' " + what + " 2>&1";
        std::string verdict;
        FILE* run = popen(command.c_str(), "r");
        char line[512];
        while (run && std::fgets(line, sizeof line, run))
            verdict += line;
        if (!run || pclose(run) != 0)
            return verdict.empty() ? "failed" : verdict;
        return verdict;
    }

    fs::path dir_ = fs::temp_directory_path() / ("orv-zip-test-" + std::to_string(getpid()));
    fs::path archive_ = dir_ / "out.zip";
    std::ofstream expected_;
};

std::string RandomBytes(std::size_t size)
{
    std::mt19937 random(42);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

TEST_F(ZipWriterTest, MixedEntriesAndAFailedSourceLeaveExactlyTheReadFiles)
{
    const std::string empty, text = "MZ small", random = RandomBytes(1 << 20), repeated(3 << 20, 'x');
    {
        FileSink sink(archive_);
        ZipWriter writer(sink);
        EXPECT_EQ(ZipAddResult::Added, Add(writer, "WINDOWS/SYSTEM/EMPTY.DLL", empty));
        EXPECT_EQ(ZipAddResult::SourceFailed, Add(writer, "WINDOWS/GONE.DLL", random, 2));
        EXPECT_EQ(ZipAddResult::Added, Add(writer, "WINDOWS/SYSTEM/A.DLL", text));
        EXPECT_EQ(ZipAddResult::Added, Add(writer, "Program Files/Tool/RANDOM.DLL", random));
        EXPECT_EQ(ZipAddResult::Added, Add(writer, "Program Files/Tool/REPEAT.DLL", repeated));
        // Declared past 4 GB: the sizes go into ZIP64 fields, whatever arrives.
        EXPECT_EQ(ZipAddResult::Added, Add(writer, "BIG/DECLARED.DLL", text, -1, 5ull << 30));
        EXPECT_EQ(5u, writer.Count());
        ASSERT_TRUE(writer.Finish());
        sink.Close(archive_);
    }
    EXPECT_EQ("", Check());
    EXPECT_LT(fs::file_size(archive_), random.size() + 100000) << "the repeated bytes are deflated";
}

TEST_F(ZipWriterTest, MoreThan65535EntriesGetZip64EndRecords)
{
    const std::string text = "x";
    {
        FileSink sink(archive_);
        ZipWriter writer(sink);
        for (int i = 0; i < 70000; ++i)
        {
            MemorySource source(text);
            ZipRecord record;
            record.name = "D/" + std::to_string(i);
            ASSERT_EQ(ZipAddResult::Added, writer.Add(record, text.size(), source));
        }
        ASSERT_TRUE(writer.Finish());
        sink.Close(archive_);
    }
    EXPECT_EQ("", Check(70000));
}

TEST_F(ZipWriterTest, AFullDiskFailsTheEntryAndTheArchive)
{
    const std::string random = RandomBytes(200000);
    FileSink sink(archive_, 100000);
    ZipWriter writer(sink);
    EXPECT_EQ(ZipAddResult::OutputFailed, Add(writer, "A.DLL", random));
    EXPECT_EQ(ZipAddResult::OutputFailed, Add(writer, "B.DLL", "b"));
    EXPECT_FALSE(writer.Finish());
}

TEST(ZipRecords, StoredNamesAndTheZip64Threshold)
{
    EXPECT_EQ("WINDOWS/SYSTEM/A.DLL", ZipStoredName("C:\\WINDOWS\\SYSTEM\\A.DLL"));
    EXPECT_EQ("Program Files/A.DLL", ZipStoredName("d:\\\\Program Files\\A.DLL"));
    EXPECT_EQ("SHARE/A.DLL", ZipStoredName("\\SHARE\\A.DLL"));
    EXPECT_FALSE(ZipEntryNeedsZip64(3ull << 30)) << "3 GB";
    EXPECT_TRUE(ZipEntryNeedsZip64(0xFFFFFFFFull - 0x100000)) << "deflate may grow it past 4 GB";
}

} // namespace
