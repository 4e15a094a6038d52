// The module-name search over files held in memory: the name rules of each kind, the
// first-chunk rule, matches and names that straddle a chunk boundary at every offset,
// files that stress the overlap, and the chunked search against the whole-buffer one,
// which for kind 0 reads the file's chunks from where a repositioned file would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/filter_entry.h"
#include "engine/module_names.h"
#include "engine/registry_names.h"
#include "tests/engine/whole_module_names.h"

using namespace std::literals;

namespace
{

constexpr int kOther = FILE_KIND_OTHER;
constexpr int kExecutable = FILE_KIND_EXECUTABLE;
constexpr int kDll = FILE_KIND_LIBRARY;

using Names = std::vector<std::string>;

// Serves bytes front to back, as a file is read; firstRead cuts the first read short,
// as a read error would.
ChunkReader ReadBytes(std::string_view bytes, int& reads, std::size_t firstRead = SIZE_MAX)
{
    return
        [bytes, &reads, firstRead, offset = std::size_t{0}](std::uint8_t* buffer, std::size_t size) mutable {
            std::size_t n = std::min({size, bytes.size() - offset, reads++ == 0 ? firstRead : SIZE_MAX});
            std::memcpy(buffer, bytes.data() + offset, n);
            offset += n;
            return n;
        };
}

struct Scan
{
    int answer = -2;
    Names names;
    int reads = 0;
};

// The chunked search over bytes. The gate refuses its call number stopAt (1 is the
// call before the first read).
Scan ScanBytes(std::string_view bytes, int kind, int stopAt = 0, std::size_t firstRead = SIZE_MAX,
               ProgramNames forms = ProgramNames::EightCharacters)
{
    Scan scan;
    int gates = 0;
    scan.answer = SearchModuleNames(
        ReadBytes(bytes, scan.reads, firstRead), [&] { return ++gates != stopAt; },
        [&](std::string_view name) { scan.names.emplace_back(name); }, kind, kScanChunkSize, forms);
    return scan;
}

// For large files: counts the names equal to expected and the others.
struct Tally
{
    int answer = -2;
    std::size_t expected = 0;
    std::size_t others = 0;
    int reads = 0;
    bool operator==(const Tally&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Tally& t)
{
    return out << "{answer " << t.answer << ", expected names " << t.expected << ", others " << t.others
               << ", reads " << t.reads << "}";
}

Tally TallyNames(std::string_view bytes, int kind, std::string_view expected)
{
    Tally tally;
    tally.answer = SearchModuleNames(
        ReadBytes(bytes, tally.reads), [] { return true; },
        [&](std::string_view name) { ++(name == expected ? tally.expected : tally.others); }, kind);
    return tally;
}

Names WholeNames(std::string_view bytes, int kind, int* answer = nullptr,
                 ProgramNames forms = ProgramNames::EightCharacters)
{
    Names names;
    ByteSpan span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    int result = SearchWholeModuleNames(
        span, [&](std::string_view name) { names.emplace_back(name); }, kind, forms);
    if (answer)
        *answer = result;
    return names;
}

// A file of size blanks with text written so that its first byte lies at offset at.
std::string FileWith(std::size_t size, std::size_t at, std::string_view text)
{
    std::string file(size, ' ');
    file.replace(at, text.size(), text);
    return file;
}

// Keeps the '.' of every case past the first 8 bytes of the file.
const std::string kPad = "\r\n[strings]\r\n";

constexpr ProgramNames kModern = ProgramNames::AlsoLongAndWide;

// text in UTF-16, little-endian.
std::string Wide(std::string_view text)
{
    std::string wide;
    for (char c : text)
        wide += std::string{c, '\0'};
    return wide;
}

TEST(ModuleNames, NameRulesFollowTheKind)
{
    struct Case
    {
        const char* label;
        int kind;
        std::string text;
        Names expected;
        ProgramNames forms = ProgramNames::EightCharacters;
    };
    const Case cases[] = {
        {"'=' stops the walk", kOther, "[boot]\r\ndrivers=mmsystem.dll\r\n", {"MMSYSTEM.DLL"}},
        {"kind 0 keeps drive and directory",
         kOther,
         kPad + "x C:\\WINDOWS\\SYSTEM\\COMMDLG.DLL",
         {"C:\\WINDOWS\\SYSTEM\\COMMDLG.DLL"}},
        {"zero byte stops the walk", kExecutable, kPad + "\0mfc40.dll\0"s, {"MFC40"}},
        {"'\\' stops kind 1", kExecutable, kPad + "C:\\WIN\\FOO.DLL", {"FOO"}},
        {"':' stops kind 2", kDll, kPad + "A:B.DLL", {"B"}},
        {"kind 1 takes 8 characters", kExecutable, kPad + "LONGNAME9.DLL", {"ONGNAME9"}},
        {"'#' is a name character", kDll, kPad + "AB#CD.dll", {"AB#CD"}},
        {"the other name characters", kDll, kPad + " x#^$~.DLL y!_&-@.DLL", {"X#^$~", "Y!_&-@"}},
        {"other punctuation stops",
         kOther,
         kPad + "a=b.DLL c+d.DLL e/f.DLL g'h.DLL i*j.dll",
         {"B.DLL", "D.DLL", "F.DLL", "H.DLL", "J.DLL"}},
        {"a byte of 128 or more stops",
         kExecutable,
         kPad + "\xE9"
                "ABC.DLL",
         {"ABC"}},
        {"placeholders yield nothing", kExecutable, kPad + "%s.DLL %d.DLL %ld.DLL", {}},
        {"placeholders in a text too", kOther, kPad + "load %lu.dll", {}},
        {"'%' before 3 characters", kExecutable, kPad + "%ABC.DLL", {}},
        {"'%' before 4 characters", kExecutable, kPad + "%ABCD.DLL", {"ABCD"}},
        {"%1234 is all digits", kExecutable, kPad + "%1234.DLL", {}},
        {"leading digits go", kOther, kPad + " 32USER.DLL", {"USER.DLL"}},
        {"leading digits go in kind 1", kExecutable, kPad + " 16BIT32.DLL", {"BIT32"}},
        {"digits only", kDll, kPad + " 12345.DLL", {}},
        {"space in front", kExecutable, kPad + " .DLL", {}},
        {"'.' in front", kExecutable, kPad + "..DLL", {}},
        {"control byte in front", kOther, kPad + "\x1F.DLL", {}},
        {"case of each letter is free", kDll, kPad + "FOO.dLl BAR.DlL", {"FOO", "BAR"}},
        {"what follows is not looked at", kExecutable, kPad + "FOO.DLLX", {"FOO"}},
        {"near misses", kExecutable, kPad + "FOO.DL FOO.DLX FOO.D FOODLL FOO,DLL", {}},
        {"a name found twice is added twice", kExecutable, kPad + "FOO.DLL foo.dll", {"FOO", "FOO"}},
        {"file ending in FOO.DL", kExecutable, kPad + "FOO.DL", {}},
        {"UTF-16 is not read", kExecutable, kPad + Wide("avrt.dll"), {}},
        {"modern: dots and long names",
         kDll,
         kPad + "\0libvips-cpp-8.18.8.dll\0"s,
         {"LIBVIPS-CPP-8.18.8"},
         kModern},
        {"modern: the eight characters too",
         kExecutable,
         kPad + "LONGNAME9.DLL",
         {"ONGNAME9", "LONGNAME9"},
         kModern},
        {"modern: a blank ends a name", kExecutable, kPad + "cannot load avrt.dll", {"AVRT"}, kModern},
        {"modern: 251 characters at most",
         kDll,
         "\0" + std::string(260, 'x') + ".dll",
         {"XXXXXXXX", std::string(251, 'X')},
         kModern},
        {"modern: UTF-16", kExecutable, kPad + Wide("\x01powrprof.dll"), {"POWRPROF"}, kModern},
        {"modern: a unit beyond ASCII ends a UTF-16 name",
         kDll,
         kPad + "\xA9\x03" + Wide("x(1).DLL"),
         {"X(1)"},
         kModern},
    };
    for (const Case& c : cases)
    {
        Scan scan = ScanBytes(c.text, c.kind, 0, SIZE_MAX, c.forms);
        EXPECT_EQ(scan.names, c.expected) << c.label;
        EXPECT_EQ(scan.answer, c.expected.empty() ? 0 : 1) << c.label;
        EXPECT_EQ(WholeNames(c.text, c.kind, nullptr, c.forms), c.expected)
            << c.label << " (whole-buffer search)";
    }
}

TEST(ModuleNames, DotInFirstEightBytesNeverYieldsAName)
{
    const std::string letters = "ABCDEFGHIJKL";
    for (std::size_t dot = 0; dot <= letters.size(); ++dot)
    {
        std::string text = letters.substr(0, dot) + ".DLL";
        for (int kind : {kOther, kExecutable, kDll})
        {
            Names expected;
            if (dot >= 8)
                expected = {kind == kOther ? letters.substr(0, dot) + ".DLL" : letters.substr(dot - 8, 8)};
            EXPECT_EQ(ScanBytes(text, kind).names, expected) << "'.' at " << dot << ", kind " << kind;
        }
    }
}

TEST(ModuleNames, KindZeroDropsNamesTooLongForAnEntry)
{
    struct Case
    {
        const char* label;
        std::string text;
        Names expected;
    };
    const std::string a255(255, 'A');
    const Case cases[] = {
        {"255 characters fit with .DLL", " " + a255 + ".DLL", {a255 + ".DLL"}},
        {"256 characters do not", " B" + a255 + ".DLL", {}},
        {"a run longer than the walk", std::string(300, 'C') + ".DLL", {}},
        {"leading digits go before the length counts", " 123" + a255 + ".DLL", {a255 + ".DLL"}},
        // The walk takes the last 260 characters, the digits among them; it never
        // reaches the X's, which would make the name too long.
        {"the walk takes 260 characters", std::string(40, 'X') + "11111" + a255 + ".DLL", {a255 + ".DLL"}},
        {"the walk goes back to the chunk's first byte",
         std::string(100, 'D') + ".DLL",
         {std::string(100, 'D') + ".DLL"}},
    };
    for (const Case& c : cases)
    {
        Scan scan = ScanBytes(c.text, kOther);
        EXPECT_EQ(scan.names, c.expected) << c.label;
        for (const std::string& name : scan.names)
            EXPECT_LE(name.size(), kMaxModuleEntry) << c.label;
    }
}

TEST(ModuleNames, MatchesStraddlingABoundaryAreFoundOnce)
{
    // Every offset of the '.' from well before to well after the first two
    // boundaries, so that the '.', "DLL" and the name each fall on either side.
    for (std::size_t boundary : {kScanChunkSize, 2 * kScanChunkSize})
        for (std::size_t dot = boundary - 16; dot <= boundary + 16; ++dot)
            for (std::string_view name : {"ABCDEFGH"sv, "Q"sv})
                for (int kind : {kOther, kExecutable, kDll})
                {
                    std::string file = FileWith(3 * kScanChunkSize + 100, dot - name.size(),
                                                std::string(name) + (dot % 2 ? ".dll" : ".DLL"));
                    Names expected = {kind == kOther ? std::string(name) + ".DLL" : std::string(name)};
                    EXPECT_EQ(ScanBytes(file, kind).names, expected)
                        << "'.' at " << dot << ", name " << name << ", kind " << kind;
                }
}

TEST(ModuleNames, KindZeroNameAcrossABoundaryKeepsItsTail)
{
    const std::string name = "C:\\PROGRA~1\\VENDOR\\LONGNAME";
    for (std::size_t dot = kScanChunkSize - 4; dot <= kScanChunkSize + 20; ++dot)
    {
        Scan scan = ScanBytes(FileWith(2 * kScanChunkSize, dot - name.size(), name + ".DLL"), kOther);
        ASSERT_EQ(scan.names.size(), 1u) << "'.' at " << dot;
        const std::string& found = scan.names[0];
        std::string full = name + ".DLL";
        EXPECT_GE(found.size(), kShortModuleName + 4) << "'.' at " << dot;
        EXPECT_TRUE(full.ends_with(found)) << "'.' at " << dot << ": " << found;
    }
}

TEST(ModuleNames, KindZeroChunksAreTheFilesAtEveryBoundaryPlacement)
{
    const std::string path = "C:\\WINDOWS\\SYSTEM\\MMSYSTEM.DLL";
    const std::size_t n = kScanChunkSize;
    // Cut by a boundary after "C:\"; with its '.' just behind one, 8 characters.
    EXPECT_EQ(ScanBytes(FileWith(2 * n, n - 3, path), kOther).names, Names{"WINDOWS\\SYSTEM\\MMSYSTEM.DLL"});
    EXPECT_EQ(ScanBytes(FileWith(2 * n, n + 3 - 26, path), kOther).names, Names{"MMSYSTEM.DLL"});
    // A first match inside, cut by or just behind the first boundary moves the second
    // boundary or not; the path then crosses it at every offset.
    for (std::size_t first = n - 10; first <= n + 10; ++first)
        for (std::size_t at = 2 * n - 40; at <= 2 * n + 8; ++at)
        {
            std::string file = FileWith(3 * n, first, "AB.DLL");
            file.replace(at, path.size(), path);
            ASSERT_EQ(ScanBytes(file, kOther).names, WholeNames(file, kOther)) << first << ", " << at;
        }
}

TEST(ModuleNames, FileEndsAfterItsLastShortRead)
{
    struct Case
    {
        const char* label;
        std::string file;
        Names expected;
        int reads;
    };
    const std::size_t n = kScanChunkSize;
    const Case cases[] = {
        {"empty file", "", {}, 1},
        {"one short chunk", FileWith(n - 1, n - 8, "FOO.DLL"), {"FOO"}, 1},
        {"exactly one chunk, name at its end", FileWith(n, n - 7, "FOO.DLL"), {"FOO"}, 2},
        {"exactly one chunk ending in .DL", FileWith(n, n - 6, "FOO.DL"), {}, 2},
        {"exactly one chunk ending in '.'", FileWith(n, n - 4, "FOO."), {}, 2},
        {"one byte into the second chunk completes a match", FileWith(n + 1, n - 6, "FOO.DLL"), {"FOO"}, 2},
        {"exactly two chunks", FileWith(2 * n, n, "  FOO.DLL"), {"FOO"}, 3},
    };
    for (const Case& c : cases)
    {
        Scan scan = ScanBytes(c.file, kExecutable);
        EXPECT_EQ(scan.names, c.expected) << c.label;
        EXPECT_EQ(scan.reads, c.reads) << c.label;
    }
}

TEST(ModuleNames, RepeatedDotDllEndsAfterOneReadPerChunk)
{
    std::string file;
    for (int i = 0; i < 1'000'000; ++i)
        file += ".DLL";
    const int reads = static_cast<int>(file.size() / kScanChunkSize + 1);
    // "DLL" is a run of name characters: every '.' past the file's first 8 bytes has
    // one in front of it.
    EXPECT_EQ(TallyNames(file, kExecutable, "DLL"), (Tally{1, 1'000'000 - 2, 0, reads}));
    // Kind 0 reads on where an overlap starts a chunk again.
    EXPECT_EQ(TallyNames(file, kOther, "DLL.DLL").expected, 1'000'000u - 2);

    std::string blank;
    for (int i = 0; i < 200'000; ++i)
        blank += " .DLL";
    EXPECT_EQ(TallyNames(blank, kDll, ""),
              (Tally{0, 0, 0, static_cast<int>(blank.size() / kScanChunkSize + 1)}));
}

TEST(ModuleNames, RepeatedNamesAreEachFoundOnce)
{
    std::string file;
    for (int i = 0; i < 100'000; ++i)
        file += "A.DLL";
    // The first two '.' lie in the file's first 8 bytes; the name in front of every
    // later one runs back to the '.' before it.
    const int reads = static_cast<int>(file.size() / kScanChunkSize + 1);
    EXPECT_EQ(TallyNames(file, kExecutable, "DLLA"), (Tally{1, 100'000 - 2, 0, reads}));
    EXPECT_EQ(TallyNames(file, kOther, "DLLA.DLL").expected, 100'000u - 2);

    // Records of 11 bytes put every offset of a record on a boundary.
    std::string numbered;
    Names expected;
    for (int i = 0; i < 20'000; ++i)
    {
        char record[16];
        std::snprintf(record, sizeof record, " N%05d.DLL", i);
        numbered += record;
        if (i > 0) // record 0's '.' is at offset 7
            expected.push_back(std::string(record + 1, 6));
    }
    EXPECT_EQ(ScanBytes(numbered, kDll).names, expected);
}

TEST(ModuleNames, GateStopsTheSearchBeforeItsNextRead)
{
    std::string file(5 * kScanChunkSize, ' ');
    for (std::size_t chunk = 0; chunk < 5; ++chunk)
    {
        std::string text = "CHUNK" + std::to_string(chunk) + ".DLL";
        file.replace(chunk * kScanChunkSize + 100, text.size(), text);
    }
    Scan scan = ScanBytes(file, kExecutable, 3);
    EXPECT_EQ(scan.answer, 0);
    EXPECT_EQ(scan.reads, 2);
    EXPECT_EQ(scan.names, (Names{"CHUNK0", "CHUNK1"}));

    Scan stoppedAtOnce = ScanBytes(file, kExecutable, 1);
    EXPECT_EQ(stoppedAtOnce.answer, 0);
    EXPECT_EQ(stoppedAtOnce.reads, 0);
}

TEST(ModuleNames, ShortReadEndsTheFile)
{
    // A read error shows as a short read: what follows it is never asked for.
    const std::string file = FileWith(3 * kScanChunkSize, 2000, "FIRST.DLL") + "LATER.DLL";
    Scan scan = ScanBytes(file, kExecutable, 0, 2100);
    EXPECT_EQ(scan.answer, 1);
    EXPECT_EQ(scan.reads, 1);
    EXPECT_EQ(scan.names, Names{"FIRST"});
}

TEST(ModuleNames, ChunkedSearchFindsWhatWholeSearchFinds)
{
    // Pieces rich in what matters: whole and cut matches in mixed case, name
    // characters of both sets, '%', digits and bytes that stop a walk.
    const std::string_view pieces[] = {".DLL", ".dll", ".DlL", ".DL",  ".D",   ".",    "D",   "L",
                                       "l",    "A",    "z",    "9",    "#",    "~",    "@",   "\\",
                                       ":",    "%",    " ",    "\0"sv, "\x80", "NAME", "1234"};
    std::mt19937 random(1234);
    std::size_t total = 0;
    for (int round = 0; round < 100; ++round)
    {
        std::string file;
        const std::size_t size = 8192 + random() % 8192;
        while (file.size() < size)
            file += pieces[random() % std::size(pieces)];
        for (int kind : {kOther, kExecutable, kDll})
        {
            int wholeAnswer = 0;
            Names whole = WholeNames(file, kind, &wholeAnswer);
            Scan scan = ScanBytes(file, kind);
            ASSERT_EQ(scan.names, whole) << "round " << round << ", kind " << kind;
            ASSERT_EQ(scan.answer, wholeAnswer) << "round " << round << ", kind " << kind;
            total += whole.size();
        }
        for (const std::string& name : ScanBytes(file, kOther).names)
        {
            ASSERT_TRUE(name.ends_with(".DLL")) << name;
            ASSERT_GT(name.size(), 4u) << "round " << round;
            ASSERT_LE(name.size(), kMaxModuleEntry) << name;
            ASSERT_EQ(name.find_first_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << name;
        }
    }
    // The inputs must make the comparison worth something.
    EXPECT_GT(total, 50000u);
}

// Module names in a registry value's text: paths with blanks, command lines, the
// rundll32 and resource forms, lists, unexpanded variables; what names no placeable
// file yields nothing.
TEST(RegistryModuleNames, NamesOfEachFormOfValue)
{
    const std::pair<std::u16string, Names> cases[] = {
        {u"C:\\Program Files\\A B\\srv.OCX", {"C:\\Program Files\\A B\\srv.OCX"}},
        {u"\"C:\\Program Files\\App\\app.exe\" /regserver", {"C:\\Program Files\\App\\app.exe"}},
        {u"C:\\windows\\system32\\rundll32.exe shell32.dll,Control_RunDLL x.cpl",
         {"C:\\windows\\system32\\rundll32.exe", "shell32.dll", "x.cpl"}},
        {u"rundll32 C:\\w\\advpack.dll,LaunchINFSection", {"C:\\w\\advpack.dll"}},
        {u"@%SystemRoot%\\system32\\shell32.dll,-21", {"shell32.dll"}},
        {u"one.dll two.dll;three.drv", {"one.dll", "two.dll", "three.drv"}},
        {u"\\\\?\\D:\\x\\libglib-2.0-0.dll", {"D:\\x\\libglib-2.0-0.dll"}},
        {u"system32\\rel.dll \\\\server\\share\\unc.dll \\root.dll", {}},
        {u"x.dll.mui *.dll .dll C:\\.dll C:\\dir.dll\\ notes.txt", {}},
        {u"C:\\" + std::u16string(300, u'a') + u".dll short.dll", {"short.dll"}},
    };
    for (const auto& [text, expected] : cases)
    {
        Names names;
        FindRegistryModuleNames(
            text, [&](std::u16string_view name) { names.emplace_back(name.begin(), name.end()); });
        EXPECT_EQ(expected, names) << std::string(text.begin(), text.end());
    }
}

} // namespace
