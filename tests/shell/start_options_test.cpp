#include <gtest/gtest.h>

#include "shell/start_options.h"

namespace
{

TEST(StartOptions, DefaultPlacementIsFractionsOfTheScreen)
{
    struct Case
    {
        int w, h, x, y, width, height;
    };
    const Case cases[] = {
        {640, 480, 128, 60, 384, 360}, {800, 600, 160, 75, 480, 450}, {1024, 768, 204, 96, 614, 576}};
    for (const Case& c : cases)
    {
        WindowPlacementRect place = DefaultPlacement(c.w, c.h);
        EXPECT_EQ(c.x, place.x) << c.w;
        EXPECT_EQ(c.y, place.y) << c.w;
        EXPECT_EQ(c.width, place.width) << c.w;
        EXPECT_EQ(c.height, place.height) << c.w;
    }
}

TEST(StartOptions, OnlyTheWholeLineSlashSStartsAScan)
{
    EXPECT_TRUE(IsScanCommandLine("/S"));
    EXPECT_TRUE(IsScanCommandLine("/s"));
    for (const char* line : {"", "/S ", " /S", "-S", "/S x", "/SS", "S", "/", "\\S"})
        EXPECT_FALSE(IsScanCommandLine(line)) << '"' << line << '"';
    EXPECT_FALSE(IsScanCommandLine(nullptr));
}

} // namespace
