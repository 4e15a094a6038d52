#include <gtest/gtest.h>

#include "results/command_line.h"

namespace
{

TEST(CommandLine, QuotesAPartExactlyWhenItHoldsABlank)
{
    const std::pair<const char*, const char*> cases[] = {
        {"WINZIP.EXE", "WINZIP.EXE"},
        {"C:\\PROGRA~1\\WINZIP\\WINZIP32.EXE", "C:\\PROGRA~1\\WINZIP\\WINZIP32.EXE"},
        {"C:\\Program Files\\WinZip\\WINZIP32.EXE", "\"C:\\Program Files\\WinZip\\WINZIP32.EXE\""},
        {"D:\\My\tBackups\\A.ZIP", "\"D:\\My\tBackups\\A.ZIP\""},
        {"\"C:\\Program Files\\W.EXE\"", "\"C:\\Program Files\\W.EXE\""},
        {"", ""},
    };
    for (const auto& [part, expected] : cases)
        EXPECT_EQ(expected, QuoteIfBlank(part)) << "part [" << part << "]";
}

TEST(CommandLine, WinZipCommandKeepsTheFormatWithoutBlanks)
{
    EXPECT_EQ("WINZIP.EXE -a -P -ex D:\\BACKUP\\DLLS.ZIP @C:\\ORVENZIP.131",
              FormatWinZipCommand("WINZIP.EXE", "D:\\BACKUP\\DLLS.ZIP", "C:\\ORVENZIP.131"));
}

TEST(CommandLine, WinZipCommandQuotesProgramAndArchiveWithBlanks)
{
    EXPECT_EQ("\"C:\\Program Files\\WinZip\\WINZIP32.EXE\" -a -P -ex \"D:\\My Backups\\DLLS.ZIP\" "
              "@C:\\ORVENZIP.131",
              FormatWinZipCommand("C:\\Program Files\\WinZip\\WINZIP32.EXE", "D:\\My Backups\\DLLS.ZIP",
                                  "C:\\ORVENZIP.131"));
    EXPECT_EQ("W.EXE -a -P -ex A.ZIP @\"C:\\LIST FILE.131\"",
              FormatWinZipCommand("W.EXE", "A.ZIP", "C:\\LIST FILE.131"));
}

} // namespace
