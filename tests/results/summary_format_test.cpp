#include <gtest/gtest.h>

#include "results/summary_format.h"

namespace
{

TEST(SummaryFormat, GroupsThousandsWithCommas)
{
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {123456, "123,456"},
        {999999, "999,999"},
        {1000000, "1,000,000"},
        {1234567, "1,234,567"},
        // Past 4 GB the total keeps counting instead of wrapping.
        {4294967296ull, "4,294,967,296"},
        {18446744073709551615ull, "18,446,744,073,709,551,615"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(text, GroupThousands(value)) << value;
}

TEST(SummaryFormat, SummaryLineHasTheCountAndGroupedTotal)
{
    EXPECT_EQ(" 0 possibly unlinked .DLLs listed. Disk space taken: 0 bytes", FormatSummaryLine(0, 0));
    EXPECT_EQ(" 3 possibly unlinked .DLLs listed. Disk space taken: 5,000,000,000 bytes",
              FormatSummaryLine(3, 5000000000ull));
}

TEST(SummaryFormat, ListLineHasBlanksOnlyForGivenTexts)
{
    EXPECT_EQ("del C:\\WINDOWS\\SYSTEM\\OLD.DLL ", FormatListLine("del", "C:\\WINDOWS\\SYSTEM\\OLD.DLL", ""));
    EXPECT_EQ(" C:\\A.DLL ", FormatListLine("", "C:\\A.DLL", ""));
    EXPECT_EQ("copy C:\\A.DLL D:\\SAVE", FormatListLine("copy", "C:\\A.DLL", "D:\\SAVE"));
    EXPECT_EQ("C:\\A.DLL", FormatListLine(nullptr, "C:\\A.DLL", nullptr));
}

TEST(SummaryFormat, LinkedFromLineNamesWhatFitsAndCountsTheRest)
{
    const std::vector<std::string> two = {"C:\\A\\ONE.DLL", "C:\\B\\TWO.DLL"};
    const std::vector<std::string> unread = {"C:\\APP\\VIEW.EXE", "C:\\APP\\EDIT.EXE"};
    const struct
    {
        std::vector<std::string> libraries;
        bool allListed;
        std::vector<std::string> unread;
        std::size_t width;
        const char* line;
    } cases[] = {
        {{}, true, {}, 100, "Linked from: nothing examined"},
        // Files whose links went unread are named, not denied.
        {{},
         true,
         unread,
         100,
         "Linked from: no link read; unread links in C:\\APP\\VIEW.EXE, C:\\APP\\EDIT.EXE"},
        {{}, true, unread, 70, "Linked from: no link read; unread links in C:\\APP\\VIEW.EXE and 1 more"},
        {two, true, unread, 100, "Linked from listed DLLs only: C:\\A\\ONE.DLL, C:\\B\\TWO.DLL"},
        {two, true, {}, 100, "Linked from listed DLLs only: C:\\A\\ONE.DLL, C:\\B\\TWO.DLL"},
        {two,
         false,
         {},
         100,
         "Linked only from DLLs no examined file links to: C:\\A\\ONE.DLL, C:\\B\\TWO.DLL"},
        {two, true, {}, 55, "Linked from listed DLLs only: C:\\A\\ONE.DLL and 1 more"},
        {two, true, {}, 50, "Linked from listed DLLs only: C:\\A\\O... and 1 more"},
        {two, true, {}, 10, "Linked from listed DLLs only: ... and 1 more"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.line,
                  FormatLinkedFromLine(c.libraries, c.allListed, c.unread,
                                       [&](const std::string& text) { return text.size() <= c.width; }))
            << c.width;
    // A listed file that the registry names says so instead, cut to fit.
    const std::string value = "HKLM\\Software\\Classes\\CLSID\\{X}\\InprocServer32\\(Default)";
    auto fits = [](std::size_t width) {
        return [width](const std::string& text) { return text.size() <= width; };
    };
    EXPECT_EQ("Named by the registry: " + value, FormatRegistryNamedLine(value, fits(100)));
    EXPECT_EQ("Named by the registry: HKLM\\Software\\...", FormatRegistryNamedLine(value, fits(40)));
}

} // namespace

TEST(SummaryFormat, UnreadLinkNotesCountEachKindInOrder)
{
    UnreadLinkCounts counts;
    EXPECT_TRUE(FormatUnreadLinkNotes(counts).empty());
    counts.addOnModules = 3;
    counts.forwardingFiles = 1;
    counts.importTablesOutsideIdata = 2;
    const std::vector<UnreadLinkNote> notes = FormatUnreadLinkNotes(counts);
    ASSERT_EQ(3u, notes.size());
    EXPECT_EQ("2 examined files keep their import tables outside .idata; those links were not read",
              notes[0].text);
    EXPECT_TRUE(notes[0].fullScanReads);
    EXPECT_EQ("1 examined file forwards exports to other DLLs; those links were not read", notes[1].text);
    EXPECT_EQ("3 files named .NODE, .PYD, .AX or .XLL were not examined; programs load them as DLLs",
              notes[2].text);
    EXPECT_FALSE(notes[1].fullScanReads || notes[2].fullScanReads);
}
