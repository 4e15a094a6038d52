// The executable-type decision over header bytes (portable: runs natively and under Wine).
#include "platform/exe_type.h"
#include "tests/platform/exe_images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using namespace exe_images;
using Bytes = std::vector<std::uint8_t>;

const char* NameOf(ExeType type)
{
    switch (type)
    {
    case ExeType::None: return "None";
    case ExeType::Dos: return "Dos";
    case ExeType::Ne: return "Ne";
    case ExeType::Pe32: return "Pe32";
    case ExeType::Pe32Plus: return "Pe32Plus";
    case ExeType::Other: return "Other";
    }
    return "?";
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Cut(Bytes bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

struct ImageCase
{
    const char* name;
    Bytes bytes;
    ExeType expected;
};

TEST(ExeTypeTest, ClassifiesWholeImages)
{
    Bytes overlapping = Mz(0x200, 4); // "PE\0\0" inside the DOS header, as tiny PE files have it
    overlapping[4] = 'P';
    overlapping[5] = 'E';
    overlapping[6] = overlapping[7] = 0;
    PutU16(overlapping, 4 + 24, kMagicPe32);

    const ImageCase cases[] = {
        {"empty", {}, ExeType::None},
        {"one byte M", Text("M"), ExeType::None},
        {"text", Text("Hello, world. This is not a program at all."), ExeType::None},
        {"ZM is not taken for MZ", Text("ZM"), ExeType::None},
        {"bare MZ", Text("MZ"), ExeType::Dos},
        {"MZ cut before e_lfanew", Cut(Pe(0x80, kMagicPe32), 0x3E), ExeType::Dos},
        {"DOS program, e_lfanew 0", Mz(0x200, 0), ExeType::Dos},
        {"DOS program, code at e_lfanew", Mz(0x200, 0x100), ExeType::Dos},
        {"e_lfanew past the end", Mz(0x100, 0x400), ExeType::Dos},
        {"e_lfanew at the very end", Mz(0x100, 0x100), ExeType::Dos},
        {"e_lfanew near 4 GB", Mz(0x100, 0xFFFFFFFE), ExeType::Dos},
        {"PE32", Pe(0x80, kMagicPe32), ExeType::Pe32},
        {"PE32 header far out", Pe(0x2000, kMagicPe32), ExeType::Pe32},
        {"PE32 overlapping the DOS header", overlapping, ExeType::Pe32},
        {"PE32+", Pe(0x80, kMagicPe32Plus), ExeType::Pe32Plus},
        {"ROM image magic", Pe(0x80, kMagicRom), ExeType::Other},
        {"PE signature, file ends before the magic", Cut(Pe(0x80, kMagicPe32), 0x80 + 25), ExeType::Other},
        {"PE signature cut in half", Cut(Pe(0x80, kMagicPe32), 0x82), ExeType::Dos},
        {"PE without its two zero bytes", WithSignature(0x80, "PE", 0x200), ExeType::Dos},
        {"NE", WithSignature(0x80, "NE", 0x200), ExeType::Ne},
        {"LE", WithSignature(0x80, "LE", 0x200), ExeType::Other},
        {"LX", WithSignature(0x80, "LX", 0x200), ExeType::Other},
    };
    for (const ImageCase& c : cases)
        EXPECT_STREQ(NameOf(c.expected), NameOf(ClassifyExeImage(c.bytes))) << c.name;
}

// What QemGetExeType does with a file: its head, and the bytes read at e_lfanew.
TEST(ExeTypeTest, ClassifiesHeadAndNewHeaderReadApart)
{
    Bytes image = Pe(0x2000, kMagicPe32Plus);
    std::uint32_t offset = 0;
    ASSERT_TRUE(FindNewHeader(ByteSpan(image).first(kExeHeadBytes), offset));
    EXPECT_EQ(0x2000u, offset);

    ByteSpan head = ByteSpan(image).first(kExeHeadBytes);
    ByteSpan header = ByteSpan(image).subspan(offset, kNewHeaderBytes);
    EXPECT_STREQ("Pe32Plus", NameOf(ClassifyExe(head, header)));
    EXPECT_STREQ("Other", NameOf(ClassifyExe(head, header.first(kNewHeaderBytes - 1))));
    EXPECT_STREQ("Dos", NameOf(ClassifyExe(head, {})));
    EXPECT_STREQ("None", NameOf(ClassifyExe(Text("XZ"), header)));
}

TEST(ExeTypeTest, FindsNoNewHeaderWithoutMzOrE_lfanew)
{
    std::uint32_t offset = 77;
    EXPECT_FALSE(FindNewHeader(Text("PK\x03\x04 an archive"), offset));
    EXPECT_FALSE(FindNewHeader(Cut(Mz(0x40, 0x80), 0x3F), offset));
    EXPECT_EQ(77u, offset);
    EXPECT_TRUE(FindNewHeader(Mz(0x40, 0x80), offset));
    EXPECT_EQ(0x80u, offset);
}

} // namespace
