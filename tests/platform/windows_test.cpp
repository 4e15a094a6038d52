// QemCenterWindow and QemAboutBox: where the windows land, and what the box shows.
#include "platform/qemcom95.h"
#include "tests/platform/platform_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace
{

POINT CentreOf(HWND window)
{
    RECT area;
    GetWindowRect(window, &area);
    return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

RECT WorkArea()
{
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

#define EXPECT_NEAR_POINT(expected, actual)                                                                  \
    do                                                                                                       \
    {                                                                                                        \
        EXPECT_LE(std::abs((expected).x - (actual).x), 1) << "x " << (expected).x << " vs " << (actual).x;   \
        EXPECT_LE(std::abs((expected).y - (actual).y), 1) << "y " << (expected).y << " vs " << (actual).y;   \
    } while (0)

TEST(CenterWindowTest, CentresOnOwner)
{
    TestWindow owner(100, 80, 600, 400);
    TestWindow dialog(0, 0, 200, 100, owner.Get(), WS_POPUP | WS_CAPTION);
    QemCenterWindow(dialog.Get());
    EXPECT_NEAR_POINT(CentreOf(owner.Get()), CentreOf(dialog.Get()));
    RECT area;
    GetWindowRect(dialog.Get(), &area);
    EXPECT_EQ(200, area.right - area.left) << "size kept";
}

TEST(CenterWindowTest, CentresOnWorkAreaWithoutOwner)
{
    TestWindow dialog(0, 0, 200, 100, nullptr, WS_POPUP | WS_CAPTION);
    QemCenterWindow(dialog.Get());
    RECT work = WorkArea();
    EXPECT_NEAR_POINT((POINT{(work.left + work.right) / 2, (work.top + work.bottom) / 2}),
                      CentreOf(dialog.Get()));
}

TEST(CenterWindowTest, StaysInsideWorkAreaWhenOwnerIsPartlyOff)
{
    RECT work = WorkArea();
    TestWindow owner(work.left - 350, work.top - 250, 400, 300);
    TestWindow dialog(0, 0, 200, 150, owner.Get(), WS_POPUP | WS_CAPTION);
    QemCenterWindow(dialog.Get());
    RECT area;
    GetWindowRect(dialog.Get(), &area);
    EXPECT_EQ(work.left, area.left);
    EXPECT_EQ(work.top, area.top);
}

TEST(CenterWindowTest, CentresChildInParentsClientArea)
{
    TestWindow parent(100, 100, 500, 400);
    TestWindow child(0, 0, 100, 60, parent.Get(), WS_CHILD | WS_VISIBLE);
    QemCenterWindow(child.Get());
    RECT client;
    GetClientRect(parent.Get(), &client);
    RECT area;
    GetWindowRect(child.Get(), &area);
    MapWindowPoints(nullptr, parent.Get(), reinterpret_cast<POINT*>(&area), 2);
    EXPECT_NEAR_POINT((POINT{client.right / 2, client.bottom / 2}),
                      (POINT{(area.left + area.right) / 2, (area.top + area.bottom) / 2}));
}

TEST(AboutBoxTest, ShowsTitleAndTextCentredOnOwner)
{
    TestWindow owner(120, 90, 640, 480);
    QEMABOUT about = {};
    about.owner = owner.Get();
    about.number = 103;
    std::strcpy(about.title, "About Orvenna");
    about.text = "Orvenna - Version 5.0 - April 1996";

    std::string caption;
    std::vector<std::string> texts;
    POINT centre = {};
    HWND boxOwner = nullptr;
    DialogAnswerer answerer([&](HWND box) {
        caption = WindowText(box);
        texts = StaticTexts(box);
        centre = CentreOf(box);
        boxOwner = GetWindow(box, GW_OWNER);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    QemAboutBox(&about);

    ASSERT_EQ(1, answerer.Count());
    EXPECT_EQ("About Orvenna", caption);
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "Orvenna - Version 5.0 - April 1996"));
    EXPECT_EQ(owner.Get(), boxOwner);
    EXPECT_NEAR_POINT(CentreOf(owner.Get()), centre);
}

// The title field holds 80 characters with no room promised for a terminator.
TEST(AboutBoxTest, TitleFillingItsFieldIsReadWithinIt)
{
    QEMABOUT about = {};
    std::memset(about.title, 'T', sizeof about.title);
    about.text = nullptr;
    std::string caption;
    DialogAnswerer answerer([&](HWND box) {
        caption = WindowText(box);
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    });
    QemAboutBox(&about);
    EXPECT_EQ(std::string(80, 'T'), caption);
}

} // namespace
