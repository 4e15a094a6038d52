#include <gtest/gtest.h>

#include "shell/command_states.h"
#include "shell/resources/resource.h"

namespace
{

TEST(CommandStates, GreyRulesForIdleScanningAndEmptyList)
{
    struct Case
    {
        int command;
        bool idleEmpty, idleListed, scanningEmpty, scanningListed;
    };
    const Case cases[] = {
        {IDM_START, true, true, false, false},
        {IDM_STOP, false, false, true, true},
        {IDM_SET_FILTERS, true, true, false, false},
        {IDM_SAVE_LIST, false, true, false, false},
        {IDM_SELECT_ALL, false, true, false, false},
        {IDM_SELECT_NONE, false, true, false, false},
        {IDM_BACKUP, false, true, false, false},
        {IDM_DELETE, false, true, false, false},
        {IDM_DISPLAY_VERSION, false, true, false, true},
        {IDM_CHECK_FUNCTION_CALLS, false, true, false, true},
        {IDM_CHECK_LINKS, false, true, false, true},
        {IDM_EXIT, true, true, true, true},
        {IDM_QUICK_SCAN, true, true, true, true},
        {IDM_HELP_CONTENTS, true, true, true, true},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(c.idleEmpty, IsCommandEnabled(c.command, false, 0)) << c.command << " idle, empty";
        EXPECT_EQ(c.idleListed, IsCommandEnabled(c.command, false, 3)) << c.command << " idle, listed";
        EXPECT_EQ(c.scanningEmpty, IsCommandEnabled(c.command, true, 0)) << c.command << " scanning, empty";
        EXPECT_EQ(c.scanningListed, IsCommandEnabled(c.command, true, 3)) << c.command << " scanning, listed";
    }
}

} // namespace
