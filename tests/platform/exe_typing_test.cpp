// QemGetExeType on real files: linker output, hand-made headers, and what is no file.
#include "platform/qemcom95.h"
#include "tests/platform/exe_images.h"
#include "tests/platform/platform_test_util.h"

#include <gtest/gtest.h>

namespace
{

using namespace exe_images;

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

class ExeTypingTest : public testing::Test
{
protected:
    ScratchFolder folder_{"orv-exe-typing"};
};

TEST_F(ExeTypingTest, TypesLinkerOutput)
{
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    EXPECT_EQ(QEM_EXE_PE32, QemGetExeType(program)) << "the test program, a PE32 EXE";
    EXPECT_EQ(QEM_EXE_PE32, QemGetExeType(LibraryPath().c_str())) << "qemcom95.dll";
    EXPECT_EQ(QEM_EXE_PE32, QemGetExeType((ProgramFolder() + "\\version_fixture.dll").c_str()));
    EXPECT_EQ(QEM_EXE_PE32PLUS, QemGetExeType((ProgramFolder() + "\\pe64_fixture.dll").c_str()));

    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    EXPECT_EQ(QEM_EXE_PE32, QemGetExeType((std::string(system) + "\\kernel32.dll").c_str()))
        << "the platform's own 32-bit DLL";
}

struct FileCase
{
    const char* name;
    std::vector<std::uint8_t> bytes;
    int expected;
};

TEST_F(ExeTypingTest, TypesHandMadeHeaders)
{
    std::vector<std::uint8_t> tiny = {'M', 'Z', 0x90};
    const std::string text = "MODULE=OLD.DLL\r\n";
    const FileCase cases[] = {
        {"pe32.dll", Pe(0x80, kMagicPe32), QEM_EXE_PE32},
        {"far_header.dll", Pe(0x4000, kMagicPe32), QEM_EXE_PE32},
        {"pe32plus.dll", Pe(0x80, kMagicPe32Plus), QEM_EXE_PE32PLUS},
        {"far_pe32plus.dll", Pe(0x4000, kMagicPe32Plus), QEM_EXE_PE32PLUS},
        {"ne16.dll", WithSignature(0x80, "NE", 0x400), QEM_EXE_NE},
        {"vxd.386", WithSignature(0x80, "LE", 0x400), QEM_EXE_OTHER},
        {"cut_pe.dll", Cut(Pe(0x80, kMagicPe32), 0x90), QEM_EXE_OTHER},
        {"far_cut_pe.dll", Cut(Pe(0x4000, kMagicPe32), 0x4000 + 20), QEM_EXE_OTHER},
        {"dos.exe", Mz(0x400, 0), QEM_EXE_DOS},
        {"tiny.exe", tiny, QEM_EXE_DOS},
        {"lfanew_past_end.dll", Mz(0x200, 0x10000), QEM_EXE_DOS},
        {"lfanew_huge.dll", Mz(0x200, 0xFFFFFFF0), QEM_EXE_DOS},
        {"empty.dll", {}, QEM_EXE_NONE},
        {"text.ini", std::vector<std::uint8_t>(text.begin(), text.end()), QEM_EXE_NONE},
    };
    for (const FileCase& c : cases)
    {
        WriteBytes(folder_ / c.name, c.bytes);
        EXPECT_EQ(c.expected, QemGetExeType((folder_ / c.name).c_str())) << c.name;
    }
}

TEST_F(ExeTypingTest, AnswersNoneForWhatCannotBeRead)
{
    EXPECT_EQ(QEM_EXE_NONE, QemGetExeType((folder_ / "missing.dll").c_str()));
    EXPECT_EQ(QEM_EXE_NONE, QemGetExeType(folder_.Path().c_str())) << "a directory";
    CreateDirectoryA((folder_ / "folder.dll").c_str(), nullptr);
    EXPECT_EQ(QEM_EXE_NONE, QemGetExeType((folder_ / "folder.dll").c_str()))
        << "a directory named like a DLL";
    EXPECT_EQ(QEM_EXE_NONE, QemGetExeType(""));
    EXPECT_EQ(QEM_EXE_NONE, QemGetExeType(nullptr));
}

TEST_F(ExeTypingTest, TypesFileThatOthersHaveOpen)
{
    std::string path = folder_ / "busy.dll";
    WriteBytes(path, Pe(0x80, kMagicPe32));
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(QEM_EXE_PE32, QemGetExeType(path.c_str()));
    CloseHandle(writer);
}

} // namespace
