// The archive writer on memory sources, its archives read back by unzip and Python's
// zipfile (zip_check.py): mixed contents, a source that fails halfway, ZIP64 size
// fields, ZIP64 end records past 65,535 entries, a disk that fills up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "results/zip_writer.h"

namespace
{

namespace fs = std::filesystem;

// The archive in memory, with room for at most room bytes.
struct MemorySink final : ZipOutput
{
    bool Write(const void* data, std::size_t size) override
    {
        if (bytes.size() + size > room)
            return false;
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    bool Rewrite(std::uint64_t position, const void* data, std::size_t size) override
    {
        std::memcpy(bytes.data() + position, data, size);
        return true;
    }
    bool CutBack(std::uint64_t position) override
    {
        bytes.resize(position);
        return true;
    }
    std::string bytes;
    std::size_t room = SIZE_MAX;
};

// Hands out bytes in the reader's chunks; the read numbered failAt fails.
struct MemorySource final : ZipInput
{
    MemorySource(const std::string& bytes, int failAt = -1) : bytes(bytes), failAt(failAt) {}
    long long Read(void* buffer, std::size_t size) override
    {
        if (reads++ == failAt)
            return -1;
        const std::size_t n = std::min(size, bytes.size() - at);
        std::memcpy(buffer, bytes.data() + at, n);
        at += n;
        return static_cast<long long>(n);
    }
    const std::string& bytes;
    int failAt, reads = 0;
    std::size_t at = 0;
};

ZipAddResult Add(ZipWriter& writer, const std::string& name, const std::string& bytes, int failAt = -1,
                 std::uint64_t declaredSize = 0)
{
    ZipRecord record;
    record.name = name;
    MemorySource source(bytes, failAt);
    return writer.Add(record, declaredSize ? declaredSize : bytes.size(), source);
}

// zip_check.py's verdict on archive: empty when it passes. files: what it must hold
// exactly; empty: only that it holds count entries.
std::string Check(const std::string& archive, const std::map<std::string, std::string>& files, int count = 0)
{
    const fs::path dir = fs::temp_directory_path() / ("orv-zip-test-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "root");
    std::ofstream(dir / "out.zip", std::ios::binary) << archive;
    std::ofstream expected(dir / "out.zip.expected");
    for (const auto& [name, bytes] : files)
    {
        fs::create_directories((dir / "root" / name).parent_path());
        std::ofstream(dir / "root" / name, std::ios::binary) << bytes;
        expected << name << '\n';
    }
    expected.close();
    const std::string what = files.empty() ? "--count " + std::to_string(count) : (dir / "root").string();
    std::string verdict;
    FILE* run = popen(
        ("python3 " ORV_ZIP_CHECK " " + (dir / "out.zip").string() + " " + what + " 2>&1").c_str(), "r");
    char line[512];
    while (run && std::fgets(line, sizeof line, run))
        verdict += line;
    if ((!run || pclose(run) != 0) && verdict.empty())
        verdict = "failed";
    fs::remove_all(dir);
    return verdict;
}

TEST(ZipWriter, MixedEntriesAndAFailedSourceLeaveExactlyTheReadFiles)
{
    std::string random(1 << 20, '\0');
    std::mt19937 generator(42);
    for (char& c : random)
        c = static_cast<char>(generator());
    const std::map<std::string, std::string> files = {
        {"WINDOWS/SYSTEM/EMPTY.DLL", ""},
        {"WINDOWS/SYSTEM/A.DLL", "MZ small"},
        {"Program Files/Tool/RANDOM.DLL", random},
        {"Program Files/Tool/REPEAT.DLL", std::string(3 << 20, 'x')},
    };
    MemorySink sink;
    ZipWriter writer(sink);
    EXPECT_EQ(ZipAddResult::SourceFailed, Add(writer, "WINDOWS/GONE.DLL", random, 2));
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(ZipAddResult::Added, Add(writer, name, bytes)) << name;
    // Declared past 4 GB: the sizes go into ZIP64 fields, whatever then arrives.
    EXPECT_EQ(ZipAddResult::Added, Add(writer, "BIG/DECLARED.DLL", "MZ", -1, 5ull << 30));
    ASSERT_TRUE(writer.Finish());
    auto expected = files;
    expected["BIG/DECLARED.DLL"] = "MZ";
    EXPECT_EQ("", Check(sink.bytes, expected));
    EXPECT_LT(sink.bytes.size(), random.size() + 100000) << "the repeated bytes are deflated";
}

TEST(ZipWriter, MoreThan65535EntriesGetZip64EndRecords)
{
    MemorySink sink;
    ZipWriter writer(sink);
    for (int i = 0; i < 70000; ++i)
        ASSERT_EQ(ZipAddResult::Added, Add(writer, "D/" + std::to_string(i), "x"));
    ASSERT_TRUE(writer.Finish());
    EXPECT_EQ("", Check(sink.bytes, {}, 70000));
}

TEST(ZipWriter, AFullDiskFailsTheEntryAndTheArchive)
{
    MemorySink sink;
    sink.room = 100;
    ZipWriter writer(sink);
    EXPECT_EQ(ZipAddResult::OutputFailed, Add(writer, "A.DLL", std::string(200000, 'a')));
    EXPECT_EQ(ZipAddResult::OutputFailed, Add(writer, "B.DLL", "b"));
    EXPECT_FALSE(writer.Finish());
}

TEST(ZipRecords, StoredNamesAndTheZip64Threshold)
{
    EXPECT_EQ("WINDOWS/SYSTEM/A.DLL", ZipStoredName("C:\\WINDOWS\\SYSTEM\\A.DLL"));
    EXPECT_EQ("Program Files/A.DLL", ZipStoredName("d:\\\\Program Files\\A.DLL"));
    EXPECT_FALSE(ZipEntryNeedsZip64(3ull << 30)) << "3 GB";
    EXPECT_TRUE(ZipEntryNeedsZip64(0xFFFFFFFFull - 0x100000)) << "deflate may grow it past 4 GB";
}

} // namespace
