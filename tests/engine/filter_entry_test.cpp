#include <gtest/gtest.h>

#include "engine/filter_entry.h"

namespace
{

struct ParseCase
{
    const char* text;
    bool isEntry;
    const char* extension;
    int kind;
};

TEST(FilterEntry, ParsesTokenAndKindAsStored)
{
    const ParseCase cases[] = {
        {".EXE 1", true, ".EXE", 1},
        {".INI 0", true, ".INI", 0},
        {".DLL", true, ".DLL", 1},   // no number: the preloaded kind
        {".DLL x", true, ".DLL", 1}, // not a number either
        {".GRP 0 trailing", true, ".GRP", 0},
        {"  .SCR\t0", true, ".SCR", 0}, // blanks around the token
        {".A B 0", true, ".A", 1},      // a blank cuts the extension
        {".X 258", true, ".X", 2},      // only the low byte of the kind
        {".X -1", true, ".X", 255},
        {".LONGTOKEN 0", true, ".LONGTOKEN", 0},
        {"", false, "", 0},
        {"   ", false, "", 0},
    };
    for (const ParseCase& c : cases)
    {
        FilterEntry entry{};
        bool parsed = ParseFilterEntry(c.text, entry);
        EXPECT_EQ(c.isEntry, parsed) << "text \"" << c.text << "\"";
        if (!parsed || !c.isEntry)
            continue;
        EXPECT_EQ(c.extension, entry.extension) << "text \"" << c.text << "\"";
        EXPECT_EQ(c.kind, entry.kind) << "text \"" << c.text << "\"";
    }
}

TEST(FilterEntry, FormatReadsBackAsTheSameEntry)
{
    for (const DefaultFilter& d : kDefaultFilters)
    {
        FilterEntry entry{d.extension, d.kind};
        std::string text = FormatFilterEntry(entry);
        EXPECT_LE(text.size(), 6u) << text;
        FilterEntry back{};
        ASSERT_TRUE(ParseFilterEntry(text, back)) << text;
        EXPECT_EQ(entry.extension, back.extension);
        EXPECT_EQ(entry.kind, back.kind);
    }
    EXPECT_EQ(".INI 0", FormatFilterEntry({".INI", 0}));
}

TEST(FilterEntry, DefaultTableHasThirteenEntriesWithTwoOtherFormats)
{
    ASSERT_EQ(13u, kDefaultFilters.size());
    EXPECT_STREQ(".EXE", kDefaultFilters.front().extension);
    EXPECT_STREQ(".DLL", kDefaultFilters[1].extension);
    EXPECT_STREQ(".SCR", kDefaultFilters.back().extension);
    int others = 0;
    for (const DefaultFilter& d : kDefaultFilters)
        if (d.kind == FILE_KIND_OTHER)
            others++;
    EXPECT_EQ(2, others);
    EXPECT_EQ(FILE_KIND_OTHER, kDefaultFilters[8].kind) << kDefaultFilters[8].extension;
    EXPECT_EQ(FILE_KIND_OTHER, kDefaultFilters[9].kind) << kDefaultFilters[9].extension;
}

} // namespace
