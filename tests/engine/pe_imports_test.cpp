// Import parsing over byte images laid out here field by field, one per shape of
// file that the reader must answer: well-formed, foreign, cut short or contradictory.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/api_set_schema.h"
#include "engine/distinct_names.h"
#include "engine/name_list.h"
#include "engine/paged_bytes.h"
#include "engine/pe_exports.h"
#include "engine/pe_imports.h"

namespace
{

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kHeaders = 0x80;                // e_lfanew of every built image
constexpr std::uint32_t kSectionTable = kHeaders + 248; // where the reader looks for it

void Grow(Bytes& image, std::size_t end)
{
    if (image.size() < end)
        image.resize(end);
}

void PutU16(Bytes& image, std::size_t at, std::uint16_t value)
{
    Grow(image, at + 2);
    image[at] = static_cast<std::uint8_t>(value);
    image[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(Bytes& image, std::size_t at, std::uint32_t value)
{
    PutU16(image, at, static_cast<std::uint16_t>(value));
    PutU16(image, at + 2, static_cast<std::uint16_t>(value >> 16));
}

// Writes text without a terminator; the bytes after it are whatever the image holds.
void PutText(Bytes& image, std::size_t at, std::string_view text)
{
    Grow(image, at + text.size());
    std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutString(Bytes& image, std::size_t at, std::string_view text)
{
    PutText(image, at, text);
    Grow(image, at + text.size() + 1);
    image[at + text.size()] = 0;
}

constexpr std::uint32_t kImageBase = 0x400000;

// MS-DOS header, PE signature and a 248-byte header block with sectionCount, a PE32
// optional header's magic, ImageBase and 16 data directories, all empty.
Bytes MakeHeaders(std::uint16_t sectionCount)
{
    Bytes image;
    PutText(image, 0, "MZ");
    PutU32(image, 0x3C, kHeaders);
    PutText(image, kHeaders, std::string_view("PE\0\0", 4));
    PutU16(image, kHeaders + 6, sectionCount);
    PutU16(image, kHeaders + 24, 0x10B);
    PutU32(image, kHeaders + 24 + 28, kImageBase);
    PutU32(image, kHeaders + 24 + 92, 16);
    Grow(image, kSectionTable);
    return image;
}

void PutDirectory(Bytes& image, int index, std::uint32_t rva)
{
    PutU32(image, kHeaders + 24 + 96 + 8 * static_cast<std::size_t>(index), rva);
}

// Each section 0x1000 bytes long, in memory and in the file.
void PutSection(Bytes& image, int index, std::string_view name, std::uint32_t virtualAddress,
                std::uint32_t rawData)
{
    std::size_t at = kSectionTable + 40 * static_cast<std::size_t>(index);
    Grow(image, at + 40);
    PutText(image, at, name.substr(0, 8));
    PutU32(image, at + 8, 0x1000);
    PutU32(image, at + 12, virtualAddress);
    PutU32(image, at + 16, 0x1000);
    PutU32(image, at + 20, rawData);
}

void PutDescriptor(Bytes& image, std::size_t at, std::uint32_t stamp, std::uint32_t nameRva)
{
    Grow(image, at + 20);
    PutU32(image, at + 4, stamp);
    PutU32(image, at + 12, nameRva);
}

// The usual layout: .text, then .idata at RVA 0x2000 and file offset 0x400 (so RVAs
// and offsets differ), its descriptors first and the terminator after them, then
// name k at NameOffset(k), in slots roomy enough for a 260-byte name.
constexpr std::uint32_t kIdataRva = 0x2000;
constexpr std::uint32_t kIdataRaw = 0x400;
constexpr std::uint32_t kDelta = kIdataRva - kIdataRaw;

constexpr std::size_t NameOffset(std::size_t k)
{
    return 0x800 + 0x200 * k;
}

Bytes MakeImportImage(const std::vector<std::string>& names)
{
    Bytes image = MakeHeaders(2);
    PutSection(image, 0, ".text", 0x1000, 0x200);
    PutSection(image, 1, ".idata", kIdataRva, kIdataRaw);
    for (std::size_t k = 0; k < names.size(); k++)
    {
        PutDescriptor(image, kIdataRaw + 20 * k, 0, static_cast<std::uint32_t>(NameOffset(k) + kDelta));
        PutString(image, NameOffset(k), names[k]);
    }
    PutDescriptor(image, kIdataRaw + 20 * names.size(), 0, 0);
    PutDirectory(image, 1, kIdataRva);
    return image;
}

void PutDelayDescriptor(Bytes& image, std::size_t at, std::uint32_t attributes, std::uint32_t name)
{
    Grow(image, at + 32);
    PutU32(image, at, attributes);
    PutU32(image, at + 4, name);
}

// Microsoft's layout: no .idata; .rdata at RVA 0x2000 (file offset 0x400) holds the
// names first, the import directory at +0x100 (KERNEL32, USER32) and the delay-load
// directory at +0x200: LATE named by its RVA, OLDLATE by its virtual address
// (attributes 0, as the first linkers that wrote the table stored it).
Bytes MakeRdataImage()
{
    Bytes image = MakeHeaders(2);
    PutSection(image, 0, ".text", 0x1000, 0x200);
    PutSection(image, 1, ".rdata", kIdataRva, kIdataRaw);
    const char* names[] = {"KERNEL32.dll", "USER32.dll", "LATE.dll", "OLDLATE.DLL"};
    for (std::uint32_t k = 0; k < 4; k++)
        PutString(image, kIdataRaw + 0x20 * k, names[k]);
    PutDirectory(image, 1, kIdataRva + 0x100);
    PutDescriptor(image, kIdataRaw + 0x100, 0, kIdataRva);
    PutDescriptor(image, kIdataRaw + 0x114, 0, kIdataRva + 0x20);
    PutDescriptor(image, kIdataRaw + 0x128, 0, 0);
    PutDirectory(image, 13, kIdataRva + 0x200);
    PutDelayDescriptor(image, kIdataRaw + 0x200, 1, kIdataRva + 0x40);
    PutDelayDescriptor(image, kIdataRaw + 0x220, 0, kImageBase + kIdataRva + 0x60);
    PutDelayDescriptor(image, kIdataRaw + 0x240, 0, 0);
    return image;
}

// The same image as a PE32+ file for x64: ImageBase 8 bytes wide, the counts, the
// directories and the section table 16 bytes further on; the data where it was.
Bytes As64Bit(Bytes image)
{
    const std::ptrdiff_t counts = kHeaders + 24 + 92, tableEnd = kSectionTable + 40 * 2;
    image.insert(image.begin() + counts, 16, 0);
    image.erase(image.begin() + tableEnd + 16, image.begin() + tableEnd + 32);
    PutU16(image, kHeaders + 4, 0x8664);
    PutU16(image, kHeaders + 20, 240);
    PutU16(image, kHeaders + 24, 0x20B);
    PutU32(image, kHeaders + 24 + 24, kImageBase);
    PutU32(image, kHeaders + 24 + 28, 0);
    return image;
}

struct Parsed
{
    int answer;
    std::vector<std::string> names;
    bool unreadTables;
};

Parsed Parse(const Bytes& image, ImportReading reading = ImportReading::IdataSection)
{
    Parsed parsed{0, {}, false};
    const char* begin = reinterpret_cast<const char*>(image.data());
    parsed.answer = ParseImports(
        ByteSpan(image.data(), image.size()), reading,
        [&](std::string_view view, LinkKind) {
            EXPECT_TRUE(view.data() >= begin && view.data() + view.size() <= begin + image.size())
                << "name outside the image: " << view;
            parsed.names.emplace_back(view);
        },
        parsed.unreadTables);
    return parsed;
}

using Names = std::vector<std::string>;

TEST(PeImports, ReadsEveryDescriptorReducedInStoredCase)
{
    Parsed parsed =
        Parse(MakeImportImage({"KERNEL32.dll", "USER32.dll", "MSVCRT40.DLL", "nodot", "A.B.DLL"}));
    EXPECT_EQ(5, parsed.answer);
    EXPECT_EQ((Names{"KERNEL32", "USER32", "MSVCRT40", "nodot", "A.B"}), parsed.names);
}

TEST(PeImports, ModuleImportedTwiceIsAddedTwice)
{
    Parsed parsed = Parse(MakeImportImage({"KERNEL32.dll", "kernel32.DLL", "KERNEL32.dll"}));
    EXPECT_EQ(3, parsed.answer);
    EXPECT_EQ((Names{"KERNEL32", "kernel32", "KERNEL32"}), parsed.names);
}

TEST(PeImports, TerminatorFirstAnswersZero)
{
    Parsed parsed = Parse(MakeImportImage({}));
    EXPECT_EQ(0, parsed.answer);
    EXPECT_TRUE(parsed.names.empty());
}

TEST(PeImports, ImportsOutsideIdataAreNotFound)
{
    // Where Microsoft's linker puts them: in .rdata, named by the data directory only.
    Bytes image = MakeHeaders(2);
    PutSection(image, 0, ".text", 0x1000, 0x200);
    PutSection(image, 1, ".rdata", kIdataRva, kIdataRaw);
    PutU32(image, kHeaders + 24 + 104, kIdataRva); // import data directory
    PutDescriptor(image, kIdataRaw, 0, 0x2100);
    PutString(image, 0x500, "KERNEL32.dll");
    PutDescriptor(image, kIdataRaw + 20, 0, 0);
    Parsed parsed = Parse(image);
    EXPECT_EQ(0, parsed.answer);
    EXPECT_TRUE(parsed.names.empty());
    EXPECT_TRUE(parsed.unreadTables);
}

// Each image read both ways: through the directories, and in .idata, which finds none
// and tells whether it passed tables over.
TEST(PeImports, DirectoriesAreReadWhereverTheLinkerPutThemImportsFirst)
{
    struct Case
    {
        const char* what;
        std::function<void(Bytes&)> change;
        int answer;
        Names names;
        bool unread = true;
    };
    const Names imports = {"KERNEL32", "USER32"};
    const Names all = {"KERNEL32", "USER32", "LATE", "OLDLATE"};
    const Case cases[] = {
        {"imports, then delay-load imports by RVA and by address", [](Bytes&) {}, 4, all},
        {"two directories declared", [](Bytes& i) { PutU32(i, kHeaders + 116, 2); }, 2, imports},
        {"delay-load imports only", [](Bytes& i) { PutDirectory(i, 1, 0); }, 2, {"LATE", "OLDLATE"}},
        {"both empty", [](Bytes& i) { PutDirectory(i, 1, 0), PutDirectory(i, 13, 0); }, 0, {}, false},
        {"import directory in no section", [](Bytes& i) { PutDirectory(i, 1, 0x9000); }, -1, {}},
        {"delay-load directory in no section", [](Bytes& i) { PutDirectory(i, 13, 0x9000); }, -1, imports},
        {"name in no section", [](Bytes& i) { PutU32(i, kIdataRaw + 0x120, 0x9000); }, -1, {"KERNEL32"}},
        {"delay-load terminator cut", [](Bytes& i) { i.resize(kIdataRaw + 0x240 + 31); }, -1, all},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases)
        {
            Bytes image = MakeRdataImage();
            c.change(image);
            if (wide)
                image = As64Bit(image);
            const std::string what = std::string(c.what) + (wide ? " (PE32+)" : "");
            Parsed parsed = Parse(image, ImportReading::ImportDirectories);
            EXPECT_EQ(c.answer, parsed.answer) << what;
            EXPECT_EQ(c.names, parsed.names) << what;
            EXPECT_FALSE(parsed.unreadTables) << what;
            parsed = Parse(image);
            EXPECT_EQ(0, parsed.answer) << what;
            EXPECT_EQ(c.unread, parsed.unreadTables) << what;
        }
}

TEST(PeImports, IdataReadingTellsOfTablesBesideItsOwn)
{
    Bytes delay = MakeImportImage({"KERNEL32.dll"});
    PutDirectory(delay, 13, kIdataRva + 0x100);
    Bytes moved = MakeImportImage({"KERNEL32.dll"});
    PutDirectory(moved, 1, kIdataRva + 0x40);
    EXPECT_FALSE(Parse(MakeImportImage({"KERNEL32.dll"})).unreadTables);
    EXPECT_TRUE(Parse(delay).unreadTables);
    EXPECT_TRUE(Parse(moved).unreadTables);
}

TEST(PeImports, ImportDirectoryStartingIdataIsReadAsTheIdataReadingReadsIt)
{
    // Names found through .idata's delta outside any section, a stamped zero name, a cut file.
    Bytes elsewhere = MakeImportImage({"KERNEL32.dll"});
    PutU32(elsewhere, kIdataRaw + 12, 0x300 + kDelta);
    PutString(elsewhere, 0x300, "ELSEWHERE.DLL");
    Bytes stamped = MakeImportImage({"KERNEL32.dll"});
    PutDescriptor(stamped, kIdataRaw, 0x2A2A2A2A, 0);
    Bytes cut = MakeImportImage({"KERNEL32.dll", "USER32.dll"});
    cut.resize(NameOffset(1) + 3);
    for (const Bytes& image : {MakeImportImage({"KERNEL32.dll", "A.B.DLL"}), elsewhere, stamped, cut})
    {
        Parsed idata = Parse(image);
        Parsed directories = Parse(image, ImportReading::ImportDirectories);
        EXPECT_EQ(idata.answer, directories.answer) << idata.answer;
        EXPECT_EQ(idata.names, directories.names) << idata.answer;
    }
}

TEST(PeImports, SectionNameComparedWithoutCaseUpToFirstZero)
{
    struct Case
    {
        std::string name;
        bool matches;
    };
    const Case cases[] = {
        {".idata", true},   {".IDATA", true},
        {".Idata", true},   {std::string(".idata\0X", 8), true}, // the zero ends both names
        {".idata2", false}, {".idataXY", false},
        {".idat", false},   {"idata", false},
        {".rdata", false},
    };
    for (const Case& c : cases)
    {
        Bytes image = MakeHeaders(1);
        PutSection(image, 0, c.name, kIdataRva, kIdataRaw);
        PutDescriptor(image, kIdataRaw, 0, 0x2100);
        PutString(image, 0x500, "KERNEL32.dll");
        PutDescriptor(image, kIdataRaw + 20, 0, 0);
        Parsed parsed = Parse(image);
        EXPECT_EQ(c.matches ? 1 : 0, parsed.answer) << "section name " << c.name.c_str();
    }
}

TEST(PeImports, FirstOfTwoIdataSectionsIsUsed)
{
    Bytes image = MakeHeaders(3);
    PutSection(image, 0, ".text", 0x1000, 0x200);
    PutSection(image, 1, ".IDATA", 0x2000, 0x400);
    PutSection(image, 2, ".idata", 0x3000, 0x600);
    PutDescriptor(image, 0x400, 0, 0x2100);
    PutString(image, 0x500, "FIRST.dll");
    PutDescriptor(image, 0x420, 0, 0);
    PutDescriptor(image, 0x600, 0, 0x3100);
    PutString(image, 0x700, "SECOND.dll");
    PutDescriptor(image, 0x620, 0, 0);
    Parsed parsed = Parse(image);
    EXPECT_EQ(1, parsed.answer);
    EXPECT_EQ((Names{"FIRST"}), parsed.names);
}

TEST(PeImports, SectionTableFollowsThe248ByteBlockWhateverItsDeclaredSize)
{
    // A PE32+ sized optional header (240 bytes) would put the table 16 bytes later;
    // the reader still looks at h + 248, where this image has .idata.
    Bytes image = MakeImportImage({"KERNEL32.dll"});
    PutU16(image, kHeaders + 20, 240);
    EXPECT_EQ(1, Parse(image).answer);
    // PE32+ is held to the loader's rule: the table follows the declared size.
    EXPECT_EQ(1, Parse(As64Bit(MakeImportImage({"KERNEL32.dll"}))).answer);
}

TEST(PeImports, ForeignOrTruncatedHeadersAnswerMinusOne)
{
    const Bytes good = MakeImportImage({"KERNEL32.dll"});
    struct Case
    {
        const char* what;
        Bytes image;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"one byte", {'M'}});
    Bytes noMz = good;
    PutText(noMz, 0, "ZM");
    cases.push_back({"no MZ though otherwise a PE file", noMz});
    cases.push_back({"MZ, cut before e_lfanew", Bytes(good.begin(), good.begin() + 0x3E)});
    Bytes farHeaders = good;
    PutU32(farHeaders, 0x3C, static_cast<std::uint32_t>(good.size()));
    cases.push_back({"e_lfanew at the end of the file", farHeaders});
    Bytes hugeHeaders = good;
    PutU32(hugeHeaders, 0x3C, 0xFFFFFFF0);
    cases.push_back({"e_lfanew near 4 GB", hugeHeaders});
    cases.push_back(
        {"248-byte header block cut by one byte", Bytes(good.begin(), good.begin() + kSectionTable - 1)});
    cases.push_back({"cut inside the signature", Bytes(good.begin(), good.begin() + kHeaders + 2)});
    Bytes badSignature = good;
    PutText(badSignature, kHeaders, std::string_view("PE\0\1", 4));
    cases.push_back({"PE followed by 0 1", badSignature});
    Bytes ne = good;
    PutText(ne, kHeaders, "NE");
    cases.push_back({"16-bit NE header", ne});
    Bytes le = good;
    PutText(le, kHeaders, "LE");
    cases.push_back({"LE header", le});
    Bytes pe32Sized = good;
    PutU16(pe32Sized, kHeaders + 20, 224);
    PutU16(pe32Sized, kHeaders + 24, 0x20B);
    cases.push_back({"PE32+ magic over a PE32-sized optional header", pe32Sized});
    Bytes otherMachine = As64Bit(good);
    PutU16(otherMachine, kHeaders + 4, 0x1C4);
    cases.push_back({"PE32+ for a machine neither x86 nor x64", otherMachine});
    const Bytes wide = As64Bit(good);
    cases.push_back({"PE32+ optional header cut", Bytes(wide.begin(), wide.begin() + kHeaders + 24 + 200)});

    for (const Case& c : cases)
    {
        Parsed parsed = Parse(c.image);
        EXPECT_EQ(-1, parsed.answer) << c.what;
        EXPECT_TRUE(parsed.names.empty()) << c.what;
    }
}

TEST(PeImports, HeadersSharingTheDosHeaderAreRead)
{
    // e_lfanew 4: the PE block overlaps the MS-DOS header, and e_lfanew itself is then
    // part of the optional header. Legal for the loader, so readable here.
    Bytes image;
    PutText(image, 0, "MZ");
    PutU32(image, 0x3C, 4);
    PutText(image, 4, std::string_view("PE\0\0", 4));
    PutU16(image, 10, 1);
    std::size_t table = 4 + 248;
    Grow(image, table + 40);
    PutText(image, table, ".idata");
    PutU32(image, table + 12, 0x1000);
    PutU32(image, table + 20, 0x200);
    PutDescriptor(image, 0x200, 0, 0x1100);
    PutString(image, 0x300, "ntdll.dll");
    PutDescriptor(image, 0x214, 0, 0);
    Parsed parsed = Parse(image);
    EXPECT_EQ(1, parsed.answer);
    EXPECT_EQ((Names{"ntdll"}), parsed.names);
}

TEST(PeImports, SectionTablePastTheEndAnswersMinusOneUnlessIdataComesFirst)
{
    // .idata is the first header: the search ends there, whatever the count says.
    Bytes found = MakeImportImage({"KERNEL32.dll"});
    PutSection(found, 0, ".idata", kIdataRva, kIdataRaw);
    PutU16(found, kHeaders + 6, 0xFFFF);
    EXPECT_EQ(1, Parse(found).answer);

    // No match among the headers inside the file, then a header the file does not hold.
    Bytes missing = MakeHeaders(0xFFFF);
    PutSection(missing, 0, ".text", 0x1000, 0x200);
    PutSection(missing, 1, ".data", 0x2000, 0x400);
    EXPECT_EQ(-1, Parse(missing).answer);

    // The .idata header itself is cut: its name and fields are inside, its end is not.
    Bytes cut = MakeHeaders(2);
    PutSection(cut, 0, ".text", 0x1000, 0x200);
    PutSection(cut, 1, ".idata", 0x2000, 0x200);
    cut.resize(kSectionTable + 40 + 24);
    EXPECT_EQ(-1, Parse(cut).answer);

    // A table that ends exactly at the end of the file is whole.
    Bytes exact = MakeHeaders(1);
    PutSection(exact, 0, ".text", 0x1000, 0x200);
    ASSERT_EQ(kSectionTable + 40u, exact.size());
    EXPECT_EQ(0, Parse(exact).answer);
    EXPECT_EQ(0, Parse(MakeHeaders(0)).answer);
}

TEST(PeImports, DescriptorPastTheEndAnswersMinusOneKeepingEarlierNames)
{
    Bytes image = MakeImportImage({"KERNEL32.dll", "USER32.dll"});
    // Move the names before the descriptors' end so that the file can end inside the
    // third (terminating) descriptor.
    PutU32(image, kIdataRaw + 12, 0x200 + kDelta);
    PutString(image, 0x200, "KERNEL32.dll");
    PutU32(image, kIdataRaw + 32, 0x210 + kDelta);
    PutString(image, 0x210, "USER32.dll");
    image.resize(kIdataRaw + 40 + 19);
    Parsed parsed = Parse(image);
    EXPECT_EQ(-1, parsed.answer);
    EXPECT_EQ((Names{"KERNEL32", "USER32"}), parsed.names);

    Bytes beyond = MakeImportImage({"KERNEL32.dll"});
    PutSection(beyond, 1, ".idata", kIdataRva, static_cast<std::uint32_t>(beyond.size()));
    EXPECT_EQ(-1, Parse(beyond).answer);
    PutSection(beyond, 1, ".idata", kIdataRva, 0xFFFFFFF0);
    EXPECT_EQ(-1, Parse(beyond).answer);
}

TEST(PeImports, NamePastTheEndAnswersMinusOneKeepingEarlierNames)
{
    const Bytes good = MakeImportImage({"KERNEL32.dll", "USER32.dll"});
    auto cutAt = [&](std::size_t size) {
        return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    };

    // The file ends inside the second name, before its zero.
    Parsed parsed = Parse(cutAt(NameOffset(1) + 3));
    EXPECT_EQ(-1, parsed.answer);
    EXPECT_EQ((Names{"KERNEL32"}), parsed.names);

    // The second name begins exactly at the end of the file.
    parsed = Parse(cutAt(NameOffset(1)));
    EXPECT_EQ(-1, parsed.answer);
    EXPECT_EQ((Names{"KERNEL32"}), parsed.names);

    // Its zero is the file's last byte: whole.
    parsed = Parse(cutAt(NameOffset(1) + 11));
    EXPECT_EQ(2, parsed.answer);
    EXPECT_EQ((Names{"KERNEL32", "USER32"}), parsed.names);

    // A name RVA below the delta wraps around to an offset near 4 GB.
    Bytes below = good;
    PutU32(below, kIdataRaw + 32, kDelta - 1);
    parsed = Parse(below);
    EXPECT_EQ(-1, parsed.answer);
    EXPECT_EQ((Names{"KERNEL32"}), parsed.names);
}

TEST(PeImports, NameIsFoundThroughTheIdataDeltaWhereverItLies)
{
    // The name sits in the headers' slack, outside .idata; its RVA is computed with
    // .idata's delta, as the reader computes the offset back.
    Bytes image = MakeImportImage({"KERNEL32.dll"});
    PutU32(image, kIdataRaw + 12, 0x300 + kDelta);
    PutString(image, 0x300, "ELSEWHERE.DLL");
    Parsed parsed = Parse(image);
    EXPECT_EQ(1, parsed.answer);
    EXPECT_EQ((Names{"ELSEWHERE"}), parsed.names);
}

TEST(PeImports, ZeroNameWithStampIsAnEntryNotTheTerminator)
{
    // Name 0 means file offset 0 - delta (32-bit); with VirtualAddress 0x100 below
    // PointerToRawData 0x400 that is offset 0x300.
    Bytes image = MakeHeaders(1);
    PutSection(image, 0, ".idata", 0x100, 0x400);
    PutDescriptor(image, 0x400, 0x2A2A2A2A, 0);
    PutDescriptor(image, 0x414, 0, 0);
    PutString(image, 0x300, "STAMPED.DLL");
    Parsed parsed = Parse(image);
    EXPECT_EQ(1, parsed.answer);
    EXPECT_EQ((Names{"STAMPED"}), parsed.names);

    // With the usual delta, offset 0 - delta lies far past the end: an entry that fails.
    Bytes usual = MakeImportImage({"KERNEL32.dll"});
    PutDescriptor(usual, kIdataRaw, 0x2A2A2A2A, 0);
    parsed = Parse(usual);
    EXPECT_EQ(-1, parsed.answer);
    EXPECT_TRUE(parsed.names.empty());

    // A stamp of zero with a nonzero name is an entry too.
    EXPECT_EQ(1, Parse(MakeImportImage({"KERNEL32.dll"})).answer);
}

TEST(PeImports, LongNamesAreCutOrSkipped)
{
    const std::string longest(259, 'L'); // the most that ends with a zero in 260 bytes
    const std::string unterminated(260, 'U');
    Bytes image = MakeImportImage({longest, "MIDDLE.dll", "LAST.dll"});
    Parsed parsed = Parse(image);
    EXPECT_EQ(3, parsed.answer);
    EXPECT_EQ((Names{std::string(255, 'L'), "MIDDLE", "LAST"}), parsed.names);

    // 260 bytes without a zero, all inside the file: skipped, not counted, walk goes on.
    PutText(image, NameOffset(1), unterminated);
    parsed = Parse(image);
    EXPECT_EQ(2, parsed.answer);
    EXPECT_EQ((Names{std::string(255, 'L'), "LAST"}), parsed.names);

    // The file ends at the 200th byte of such a name: cut, so -1.
    Bytes cut = MakeImportImage({"KERNEL32.dll", "B.dll"});
    cut.resize(NameOffset(1) + 200);
    PutText(cut, NameOffset(1), std::string(200, 'U'));
    parsed = Parse(cut);
    EXPECT_EQ(-1, parsed.answer);
    EXPECT_EQ((Names{"KERNEL32"}), parsed.names);

    // Exactly its 260 bytes are left and none is zero: whole enough to be skipped.
    cut.resize(NameOffset(1) + 260);
    PutText(cut, NameOffset(1), unterminated);
    parsed = Parse(cut);
    EXPECT_EQ(1, parsed.answer);
    EXPECT_EQ((Names{"KERNEL32"}), parsed.names);
}

// A crafted file of 300,000 descriptors that name three modules over and over, read
// page by page as the import reader reads a file: every name is counted, the scratch
// list holds each once, and a few pages are held, the names' page all the while.
TEST(PeImports, CraftedTableOfManyDescriptorsCostsAFewPagesAndItsNamesOnce)
{
    Bytes image = MakeHeaders(2);
    PutSection(image, 0, ".text", 0x1000, 0x200);
    PutSection(image, 1, ".idata", kIdataRva, kIdataRaw);
    const std::string_view names[] = {"KERNEL32.dll", "USER32.dll", "kernel32.dll"};
    for (std::size_t k = 0; k < 3; k++)
        PutString(image, 0x200 + 0x40 * k, names[k]);
    constexpr std::size_t kCount = 300'000;
    image.resize(kIdataRaw + 20 * (kCount + 1));
    for (std::size_t k = 0; k < kCount; k++)
        PutU32(image, kIdataRaw + 20 * k + 12, static_cast<std::uint32_t>(0x200 + 0x40 * (k % 3) + kDelta));

    std::set<const std::uint8_t*> pages;
    std::size_t reads = 0;
    PagedBytes paged(image.size(), [&](std::uint64_t offset, std::uint8_t* buffer, std::size_t n) {
        pages.insert(buffer);
        reads++;
        std::memcpy(buffer, image.data() + offset, n);
        return n;
    });
    NameList list;
    DistinctNames distinct(list);
    bool unread = false;
    EXPECT_EQ(static_cast<int>(kCount),
              ParseImports(
                  paged, ImportReading::IdataSection,
                  [&](std::string_view name, LinkKind) { distinct.Add(name); }, unread));
    EXPECT_EQ(2, GetCount(list));
    EXPECT_EQ(ReduceModuleName(names[(kCount - 1) % 3]), NameAt(list, 0)) << "the spelling read last";
    EXPECT_LE(pages.size(), PagedBytes::kHeldPages);
    EXPECT_LE(reads, image.size() / PagedBytes::kPageSize + 1);
}

TEST(ReduceModuleName, KeepsTheFileNamePartWithoutExtension)
{
    struct Case
    {
        std::string name;
        std::string reduced;
    };
    const Case cases[] = {
        {"KERNEL32.dll", "KERNEL32"},
        {"MSVCRT40.DLL", "MSVCRT40"},
        {"nodot", "nodot"},
        {"A.B.DLL", "A.B"},
        {"C:\\x\\y.dll", "y"},
        {"c:/x/y.dll", "y"},
        {"x\\y/z.dll", "z"},
        {"C:y.dll", "y"},
        {"\\\\server\\share\\m.dll", "m"},
        {"dir.d\\name", "name"},
        {"ab:c.dll", "ab:c"},
        {".dll", ""},
        {"name.", "name"},
        {"dir\\", ""},
        {"C:", ""},
        {"", ""},
        {std::string(300, 'N'), std::string(255, 'N')},
        {std::string(300, 'N') + ".dll", std::string(255, 'N')},
        {"C:\\dir\\" + std::string(256, 'N') + ".DLL", std::string(255, 'N')},
    };
    for (const Case& c : cases)
    {
        std::string_view reduced = ReduceModuleName(c.name);
        EXPECT_EQ(c.reduced, reduced) << "name " << c.name;
        EXPECT_TRUE(reduced.data() >= c.name.data() &&
                    reduced.data() + reduced.size() <= c.name.data() + c.name.size())
            << "not a view into " << c.name;
    }
}

// An export directory at RVA 0x2000 (offset 0x400), size 0x400, whose address table
// points each entry at a text inside it (a forwarder) or at 0x1000 (code).
TEST(PeExports, ForwardersNameEachModuleOnceAndCodeNothing)
{
    const std::vector<std::string> texts = {"NTDLL.RtlAllocateHeap", "",      "ntdll.#12",
                                            "libglib-2.0-0.g_free",  "nodot", "C:\\dir\\OTHER.Fn"};
    Bytes image = MakeHeaders(2);
    PutSection(image, 0, ".text", 0x1000, 0x200);
    PutSection(image, 1, ".edata", kIdataRva, kIdataRaw);
    PutDirectory(image, 0, kIdataRva);
    PutU32(image, kHeaders + 24 + 96 + 4, 0x400);
    PutU32(image, kIdataRaw + 20, static_cast<std::uint32_t>(texts.size()));
    PutU32(image, kIdataRaw + 28, kIdataRva + 0x40);
    for (std::size_t k = 0; k < texts.size(); k++)
    {
        const std::uint32_t text = kIdataRva + 0x100 + 0x40 * static_cast<std::uint32_t>(k);
        PutU32(image, kIdataRaw + 0x40 + 4 * k, texts[k].empty() ? 0x1000 : text);
        PutString(image, text - kDelta, texts[k]);
    }
    Grow(image, 0x1400);
    std::vector<std::string> modules;
    EXPECT_EQ(3, ParseForwarders(image, [&](std::string_view m, LinkKind) { modules.emplace_back(m); }));
    EXPECT_EQ((std::vector<std::string>{"NTDLL", "libglib-2.0-0", "OTHER"}), modules);

    // A count beyond the file answers -1, whatever the count, the modules before kept.
    for (std::uint32_t count : {0x100000u, 0xFFFFFFFFu})
    {
        PutU32(image, kIdataRaw + 20, count);
        modules.clear();
        EXPECT_EQ(-1, ParseForwarders(image, [&](std::string_view m, LinkKind) { modules.emplace_back(m); }))
            << count;
        EXPECT_EQ(3u, modules.size()) << count;
    }
}

// A schema of version in an ".apiset" section at file offset 0x400, each form laid out
// as Windows ships it: api-ms-win-core-file-l1-2-0 hosted by kernelbase.dll, and
// api-ms-win-core-loop-l1-1-0 hosted by another set, which a lookup must not follow.
Bytes MakeApiSetImage(std::uint32_t version)
{
    constexpr std::size_t kSchema = 0x400;
    const bool v6 = version == 6;
    const std::vector<std::pair<std::string, std::string>> sets = {
        {"ms-win-core-file-l1-2-0", "kernelbase.dll"},
        {"ms-win-core-loop-l1-1-0", "api-ms-win-core-file-l1-2-0.dll"}};
    Bytes image = MakeHeaders(1);
    PutSection(image, 0, ".apiset", 0x1000, kSchema);
    auto putWide = [&](std::size_t at, const std::string& text) {
        for (std::size_t i = 0; i < text.size(); i++)
            PutU16(image, kSchema + at + 2 * i, static_cast<std::uint8_t>(text[i]));
        return static_cast<std::uint32_t>(2 * text.size());
    };
    PutU32(image, kSchema, version);
    PutU32(image, kSchema + (version == 2 ? 4 : 12), static_cast<std::uint32_t>(sets.size()));
    if (v6)
        PutU32(image, kSchema + 16, 0x40); // where the entries start
    const std::size_t entries = version == 2 ? 8 : version == 4 ? 16 : 0x40;
    for (std::size_t i = 0; i < sets.size(); i++)
    {
        const std::string name = v6 ? "api-" + sets[i].first : sets[i].first;
        const std::uint32_t nameAt = 0x200 + 0x100 * static_cast<std::uint32_t>(i);
        const std::uint32_t values = 0x180 + 0x20 * static_cast<std::uint32_t>(i);
        const std::uint32_t nameLength = putWide(nameAt, name);
        const std::uint32_t hostLength = putWide(nameAt + 0x80, sets[i].second);
        const std::size_t entry = kSchema + entries + (version == 2 ? 12 : 24) * i;
        PutU32(image, entry + (version == 2 ? 0 : 4), nameAt);
        PutU32(image, entry + (version == 2 ? 4 : 8), nameLength);
        PutU32(image, entry + (version == 2 ? 8 : version == 4 ? 20 : 16), values);
        if (v6)
        {
            PutU32(image, entry + 12, static_cast<std::uint32_t>(2 * name.rfind('-'))); // hashed length
            PutU32(image, entry + 20, 1);                                               // value count
        }
        else
            PutU32(image, kSchema + values + (version == 4 ? 4 : 0), 1); // value count
        const std::size_t value = kSchema + values + (version == 2 ? 4 : version == 4 ? 8 : 0);
        PutU32(image, value + (version == 2 ? 8 : 12), nameAt + 0x80);
        PutU32(image, value + (version == 2 ? 12 : 16), hostLength);
    }
    Grow(image, kSchema + 0x1000);
    return image;
}

TEST(ApiSetSchema, EachFormMapsASetToItsHostInOneStep)
{
    for (std::uint32_t version : {2u, 4u, 6u})
    {
        ApiSetSchema schema;
        ASSERT_EQ(1, ParseApiSetSchema(MakeApiSetImage(version), schema)) << version;
        EXPECT_EQ("kernelbase.dll", ApiSetHost(schema, "API-MS-WIN-CORE-FILE-L1-2-0")) << version;
        EXPECT_EQ("", ApiSetHost(schema, "api-ms-win-core-loop-l1-1-0")) << version;
        EXPECT_EQ("", ApiSetHost(schema, "ms-win-core-file-l1-2-0")) << version;
        // Only version 6 leaves the last part of the version out of the comparison.
        EXPECT_EQ(version == 6 ? "kernelbase.dll" : "", ApiSetHost(schema, "api-ms-win-core-file-l1-2-1"))
            << version;
    }
    ApiSetSchema schema;
    EXPECT_EQ(0, ParseApiSetSchema(MakeApiSetImage(3), schema));
    Bytes cut = MakeApiSetImage(6);
    PutU32(cut, 0x400 + 12, 0x10000000);
    EXPECT_EQ(-1, ParseApiSetSchema(cut, schema));
    EXPECT_EQ("kernelbase.dll", ApiSetHost(schema, "api-ms-win-core-file-l1-2-0"))
        << "sets before the cut stand";
}

} // namespace
