// The portable pieces that let a scan ask the platform less and hold its memory: a file
// read in pages where it is looked at, patterns decided on a listing, what a DLL refers
// to kept for the cross-check, a file's names put into a scratch list once, and who
// links to whom kept to explain the answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/distinct_names.h"
#include "engine/file_pattern.h"
#include "engine/link_graph.h"
#include "engine/module_names.h"
#include "engine/name_list.h"
#include "engine/paged_bytes.h"
#include "engine/scratch_buffer.h"

namespace
{

class PagedBytesTest : public ::testing::Test
{
protected:
    PagedBytesTest() : file_(3 * PagedBytes::kPageSize + 100)
    {
        for (std::size_t i = 0; i < file_.size(); i++)
            file_[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }

    PagedBytes Over(std::size_t failFrom = SIZE_MAX)
    {
        return PagedBytes(file_.size(),
                          [this, failFrom](std::uint64_t offset, std::uint8_t* buffer, std::size_t n) {
                              reads_.push_back(offset);
                              if (offset >= failFrom)
                                  return std::size_t{0};
                              std::memcpy(buffer, file_.data() + offset, n);
                              return n;
                          });
    }

    bool SameAsFile(ByteSpan span, std::size_t offset) const
    {
        return std::memcmp(span.data(), file_.data() + offset, span.size()) == 0;
    }

    std::vector<std::uint8_t> file_;
    std::vector<std::uint64_t> reads_;
};

TEST_F(PagedBytesTest, FetchesWithinAndAcrossPagesReadingEachPageOnce)
{
    PagedBytes bytes = Over();
    const std::size_t page = PagedBytes::kPageSize;
    // A span is valid until the next fetch.
    for (auto [offset, n] : {std::pair{std::size_t{10}, std::size_t{20}},
                             {page - 3, 10},
                             {page - 1, page + 2},
                             {file_.size() - 5, 5}})
    {
        ByteSpan span = bytes.Fetch(offset, n);
        ASSERT_EQ(n, span.size()) << offset;
        EXPECT_TRUE(SameAsFile(span, offset)) << offset;
    }
    EXPECT_EQ((std::vector<std::uint64_t>{0, page, 2 * page, 3 * page}), reads_);
}

TEST_F(PagedBytesTest, BytesBeyondTheEndOrUnreadableAreRefused)
{
    PagedBytes bytes = Over(2 * PagedBytes::kPageSize);
    EXPECT_TRUE(bytes.Fetch(file_.size() - 4, 5).empty());
    EXPECT_TRUE(bytes.Fetch(file_.size() + 1, 1).empty());
    EXPECT_TRUE(bytes.Fetch(UINT64_MAX - 1, 4).empty());
    EXPECT_TRUE(bytes.Fetch(PagedBytes::kPageSize - 2, 4).size() == 4);
    // The third page cannot be read: nothing that touches it is given.
    EXPECT_TRUE(bytes.Fetch(2 * PagedBytes::kPageSize + 10, 4).empty());
    EXPECT_TRUE(bytes.Fetch(2 * PagedBytes::kPageSize - 2, 4).empty());
}

TEST(FilePatternTest, PlainNamesAndPatterns)
{
    for (const char* name : {"KERNEL32.DLL", "a b.dll", "name[1].ini", ".dll", "x~1.DLL", "a.b.c"})
        EXPECT_TRUE(IsPlainName(name)) << name;
    for (const char* name :
         {"", "a?.dll", "a*.dll", "trail.", "trail ", "caf\xe9.dll", "a:b", "a\\b", "a|b", "\x01"})
        EXPECT_FALSE(IsPlainName(name)) << name;
    for (const char* pattern : {"*.DLL", "*.3GR", "*.dll", "*.TAR.GZ"})
        EXPECT_TRUE(IsPlainPattern(pattern)) << pattern;
    for (const char* pattern : {"*.", "*", "DLL", "*.D?L", "*.D*", "*. DLL", "*.DLL.", ".DLL", "**.DLL"})
        EXPECT_FALSE(IsPlainPattern(pattern)) << pattern;
}

TEST(FilePatternTest, Bare83NamesAreTheirOwnShortNames)
{
    for (const char* name : {"KARHEX99.DLL", "A.DLL", "MMSYSTEM.DLL", "X~1.DL", "NODOT", "_$~!.A"})
        EXPECT_TRUE(IsBare83Name(name)) << name;
    for (const char* name : {"TOOLONGNAME.DLL", "A.DLLX", "A.B.DLL", ".DLL", "A B.DLL", "A;B.DLL", "A+B.DLL",
                             "C:\\X.DLL", "SUB\\X.DLL", "SUB/X.DLL", "X.DLL.", "", "CAF\xc9.DLL"})
        EXPECT_FALSE(IsBare83Name(name)) << name;
}

TEST(FilePatternTest, APatternTakesTheLongOrThe83Name)
{
    EXPECT_TRUE(MatchesPlainPattern("*.DLL", "kernel32.dll", ""));
    EXPECT_TRUE(MatchesPlainPattern("*.DLL", ".dll", ""));
    EXPECT_TRUE(MatchesPlainPattern("*.DLL", "a.b.DlL", "AB~1.DLL"));
    EXPECT_TRUE(MatchesPlainPattern("*.DLL", "x.dllx", "XDLLX~1.DLL"));
    EXPECT_FALSE(MatchesPlainPattern("*.DLL", "x.dllx", ""));
    EXPECT_FALSE(MatchesPlainPattern("*.DLL", "dll", ""));
    EXPECT_FALSE(MatchesPlainPattern("*.DLL", "x.dl", "X.DL"));
    EXPECT_FALSE(MatchesPlainPattern("*.EXE", "x.exe.dll", "XEXE~1.DLL"));
}

TEST(FindDotTest, FindsTheFirstDotFromEveryStartAsAPlainSearchDoes)
{
    std::uint32_t seed = 12345;
    for (int round = 0; round < 50; round++)
    {
        // Lengths that leave every remainder after whole blocks, dots more or less
        // dense, and bytes next to '.' (0x2E) that a word or block test could mistake
        // for it.
        std::vector<std::uint8_t> bytes(260 + round);
        for (std::uint8_t& b : bytes)
        {
            seed = seed * 1103515245u + 12345u;
            const std::uint32_t r = seed >> 16;
            b = r % (3 + round * 4) == 0 ? '.' : static_cast<std::uint8_t>(r % 2 ? 0x2F : 0xAE);
        }
        const ByteSpan span(bytes.data(), bytes.size());
        for (std::size_t from = 0; from <= bytes.size(); from++)
        {
            const std::size_t expected =
                static_cast<std::size_t>(std::find(bytes.begin() + from, bytes.end(), '.') - bytes.begin());
            ASSERT_EQ(expected, FindDot(span, from)) << round << " " << from;
            ASSERT_EQ(expected, FindDotByWords(span, from)) << round << " " << from;
        }
    }
    std::vector<std::uint8_t> none(100, 'D');
    EXPECT_EQ(none.size(), FindDot(ByteSpan(none.data(), none.size()), 0));
    // A dot in the last byte of a block, and in the second half of one.
    none[31] = '.';
    EXPECT_EQ(31u, FindDot(ByteSpan(none.data(), none.size()), 0));
    none[31] = 'D';
    none[49] = '.';
    EXPECT_EQ(49u, FindDot(ByteSpan(none.data(), none.size()), 3));
}

TEST(LinkGraphTest, WalkedLinksRecalledByPathOnlyForTheSameSettingAndCaseTwinsKeptApart)
{
    ForgetLinkGraph();
    auto walk = [](const char* dll, std::vector<std::string> links, bool quickScan,
                   const std::uint64_t* size) {
        NoteExaminedFile(dll, dll);
        RecordLibraryLinks(links, std::vector<LinkKind>(links.size()), true, true, true, size, quickScan,
                           false);
    };
    walk("C:\\APP\\ONE.DLL", {"C:\\APP\\TWO.DLL"}, true, nullptr);
    walk("C:\\APP\\NONE.DLL", {}, true, nullptr);

    RecalledLibrary one;
    ASSERT_TRUE(RecallLibrary("c:\\app\\one.dll", true, false, one));
    EXPECT_EQ("C:\\APP\\ONE.DLL", one.shortPath);
    EXPECT_EQ(std::vector<std::string>{"C:\\APP\\TWO.DLL"}, one.links);
    ASSERT_TRUE(RecallLibrary("C:\\APP\\NONE.DLL", true, false, one));
    EXPECT_TRUE(one.links.empty());
    // Walked in a quick scan, asked for in a full one: the bytes were never searched.
    EXPECT_FALSE(RecallLibrary("C:\\APP\\ONE.DLL", false, false, one));
    EXPECT_FALSE(RecallLibrary("C:\\APP\\ON", true, false, one));
    // Walked with the .idata reading, asked for with the import directories read; a
    // DLL only linked to was never walked.
    EXPECT_FALSE(RecallLibrary("C:\\APP\\ONE.DLL", true, true, one));
    EXPECT_FALSE(RecallLibrary("C:\\APP\\TWO.DLL", true, false, one));

    // Examined again, a file's links replace its own, not a twin's.
    walk("C:\\APP\\ONE.DLL", {}, false, nullptr);
    EXPECT_FALSE(RecallLibrary("C:\\APP\\ONE.DLL", true, false, one));
    EXPECT_TRUE(RecallLibrary("C:\\APP\\ONE.DLL", false, false, one));

    // A case twin is a file of its own; a path written in neither case names either.
    const std::uint64_t seven = 7;
    walk("c:\\app\\one.dll", {"C:\\APP\\BAR.DLL"}, false, &seven);
    walk("C:\\APP\\ONE.DLL", {"C:\\APP\\TWO.DLL"}, false, nullptr);
    ASSERT_TRUE(RecallLibrary("c:\\app\\one.dll", false, false, one));
    EXPECT_EQ(std::vector<std::string>{"C:\\APP\\BAR.DLL"}, one.links);
    ASSERT_TRUE(RecallLibrary("C:\\APP\\ONE.DLL", false, false, one));
    EXPECT_EQ(std::vector<std::string>{"C:\\APP\\TWO.DLL"}, one.links);
    EXPECT_FALSE(RecallLibrary("C:\\App\\One.dll", false, false, one));
    std::uint64_t size = 0;
    EXPECT_TRUE(RecallListedSize("c:\\app\\one.dll", size));
    EXPECT_EQ(7u, size);
    EXPECT_FALSE(RecallListedSize("C:\\APP\\ONE.DLL", size));
    // Who links to whom holds both twins' links.
    std::vector<std::string> linked;
    for (const FileLink& link : FindLinkedFile("C:\\APP\\ONE.DLL")->links)
        linked.push_back(LinkedFiles()[static_cast<std::size_t>(link.file)]->shortPath);
    EXPECT_EQ((std::vector<std::string>{"C:\\APP\\BAR.DLL", "C:\\APP\\TWO.DLL"}), linked);
    ForgetLinkGraph();
    EXPECT_FALSE(RecallLibrary("C:\\APP\\ONE.DLL", false, false, one));
}

// What a scan records as it files, and the answers made of it: the chain is the
// shortest, over links to DLLs that stood as pending, and only filed links count as
// linking a listed DLL.
TEST(LinkGraphTest, ShortestChainsOverPendingLinksAndFiledLinkingLibraries)
{
    ForgetLinkGraph();
    // Checked as walked, a DLL's links are the ones the walk recorded. Each link has a
    // kind of its own, and the chain names the one it followed.
    auto library = [](const char* dll, std::vector<std::string> links, bool filed = true,
                      bool asWalked = false, LinkKind kind = LinkKind::Import) {
        NoteExaminedFile(dll, dll);
        std::vector<LinkKind> kinds(links.size(), LinkKind::Manifest);
        RecordLibraryLinks(links, kinds, true, true, filed, nullptr, true, false);
        NoteCheckedLibrary(dll, asWalked);
        for (const std::string& link : links)
            RecordCheckedLink(link.c_str(), link == links.back() ? kind : LinkKind::Import);
    };
    library("D:\\A.DLL", {"D:\\B.DLL", "D:\\Z.DLL", "D:\\D.DLL"}, false, false, LinkKind::DelayLoadImport);
    library("D:\\B.DLL", {"D:\\C.DLL"}, true, true);
    library("D:\\C.DLL", {"D:\\D.DLL"});
    library("D:\\T1.DLL", {"D:\\T2.DLL"});
    library("D:\\T2.DLL", {"D:\\T1.DLL", "D:\\T1.DLL", "D:\\T2.DLL"});
    library("D:\\R.DLL", {"D:\\T1.DLL", "D:\\B.DLL"}, false);
    NoteExaminedFile("D:\\DATA.INI", "D:\\Data.ini");
    RecordDirectLink("D:\\A.DLL", false, "a.dll");
    RecordDirectLink("D:\\P.DLL", false, "p.dll");
    NoteExaminedFile("D:\\APP.EXE", "D:\\App.exe");
    RecordDirectLink("d:\\a.dll", true, "", LinkKind::Import);
    RecordDirectLink("D:\\B.DLL", true, "", LinkKind::Forwarder);

    const std::pair<const char*, std::vector<std::string>> chains[] = {
        {"D:\\D.DLL", {"D:\\App.exe", "D:\\A.DLL import", "D:\\D.DLL delay-load import"}},
        {"d:\\c.dll", {"D:\\App.exe", "D:\\B.DLL forwarder", "D:\\C.DLL manifest"}},
        {"D:\\P.DLL", {"D:\\Data.ini p.dll", "D:\\P.DLL named in the file"}},
        {"D:\\Z.DLL", {}}, // no DLL of the library pass filed it: never promoted
        {"D:\\T1.DLL", {}},
    };
    for (const auto& [dll, expected] : chains)
    {
        const LinkSource* source = nullptr;
        std::vector<const LinkedFile*> chain;
        std::vector<LinkKind> kinds;
        std::vector<std::string> got;
        if (ShortestLinkChain(dll, source, chain, kinds))
            got.push_back(*source->path + (source->program ? "" : " " + source->name));
        for (std::size_t i = 0; i < chain.size(); i++)
            got.push_back(chain[i]->shortPath + " " + LinkKindName(kinds[i]));
        EXPECT_EQ(expected, got) << dll;
    }
    // The reader gave up on R.DLL; T2.DLL names itself.
    for (const auto& [dll, expected] :
         {std::pair{"D:\\T1.DLL", "D:\\T2.DLL"}, std::pair{"D:\\T2.DLL", "D:\\T1.DLL"}})
    {
        std::vector<std::string> linking;
        for (const LinkedFile* file : LinkingLibraries(dll))
            linking.push_back(file->shortPath);
        EXPECT_EQ(std::vector<std::string>{expected}, linking) << dll;
    }
    ASSERT_NE(nullptr, FindLinkedFile("d:\\t2.dll"));
    EXPECT_TRUE(FindLinkedFile("D:\\T2.DLL")->accepted);
    ForgetLinkGraph();
    EXPECT_EQ(nullptr, FindLinkedFile("D:\\T2.DLL"));
}

// Names read over and over in changing spellings, into a list that held one already:
// each is held once, and with the duplicates dropped the list is what it would be with
// every name added. Past its most names it takes no new ones.
TEST(DistinctNamesTest, HoldsEachNameOnceInItsLastSpelling)
{
    const char* spellings[] = {"kernel32", "KERNEL32", "Kernel32", "user32", "USER32X", "", "A.B"};
    std::mt19937 random(7);
    NameList every, distinct;
    AddName(every, "KERNEL32");
    AddName(distinct, "KERNEL32");
    DistinctNames names(distinct);
    for (int i = 0; i < 20000; i++)
    {
        const char* name = spellings[random() % std::size(spellings)];
        AddName(every, name);
        names.Add(name);
    }
    EXPECT_LE(GetCount(distinct), 6);
    DropDuplicates(every);
    DropDuplicates(distinct);
    ASSERT_EQ(GetCount(every), GetCount(distinct));
    for (int i = 0; i < GetCount(every); i++)
        EXPECT_EQ(NameAt(every, i), NameAt(distinct, i)) << i;

    NameList many;
    DistinctNames manyNames(many);
    for (std::size_t i = 0; i <= kMostDistinctNames; i++)
        manyNames.Add("N" + std::to_string(i));
    EXPECT_EQ(static_cast<int>(kMostDistinctNames), GetCount(many));
}

} // namespace

TEST(ScratchBufferTest, OneBufferServesUseAfterUseButNeverTwoAtOnce)
{
    const std::uint8_t* first = nullptr;
    std::size_t firstSize = 0;
    {
        ScratchBuffer large(256 * 1024);
        first = large.data();
        firstSize = large.size();
        EXPECT_GE(firstSize, 256u * 1024);
    }
    {
        // A smaller use gets the kept buffer, with all of its size.
        ScratchBuffer small(100);
        EXPECT_EQ(first, small.data());
        EXPECT_EQ(firstSize, small.size());
        // A use inside another one must not write into the same bytes.
        ScratchBuffer inner(100);
        EXPECT_NE(small.data(), inner.data());
        EXPECT_GE(inner.size(), 100u);
    }
    // Both came back; the larger is the one kept.
    ScratchBuffer again(1000);
    EXPECT_EQ(first, again.data());
    // One larger than the kept buffer is a new one.
    ScratchBuffer larger(firstSize + 1);
    EXPECT_NE(first, larger.data());
    EXPECT_EQ(firstSize + 1, larger.size());
}
