// QemUpdateVerListbox and QemDrawVerListBox on a list of the main window's kind.
#include "platform/qemcom95.h"
#include "tests/platform/platform_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

// A parent that paints its lists light grey, as the main window does.
LRESULT CALLBACK GreyParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CTLCOLORLISTBOX)
        return reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH));
    return DefWindowProcA(window, message, wParam, lParam);
}

class VersionListTest : public testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = GreyParentProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "OrvGreyParent";
        RegisterClassA(&windowClass);
        parent_ = CreateWindowExA(0, "OrvGreyParent", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 500, 300, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, parent_);
        // The version list's style (353) of the main window.
        list_ = CreateWindowExA(0, "LISTBOX", "", 0x50300551, 0, 0, 400, 200, parent_,
                                reinterpret_cast<HMENU>(353), GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, list_);
    }
    void TearDown() override { DestroyWindow(parent_); }

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        LRESULT count = SendMessageA(list_, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i)
        {
            char text[512] = "";
            SendMessageA(list_, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            lines.push_back(text);
        }
        return lines;
    }

    std::string Listing() const
    {
        std::string listing;
        for (const std::string& line : Lines())
            listing += "\n  " + line;
        return listing;
    }

    HWND parent_ = nullptr;
    HWND list_ = nullptr;
};

// Every shipped binary's own record, as the pane shows it (the build puts the programs
// beside this one).
TEST_F(VersionListTest, ShowsEveryFieldOfTheRecord)
{
    const struct
    {
        std::string path;
        const char* description;
        const char* name;
    } binaries[] = {
        {LibraryPath(), "Tessaly common library", "qemcom95.dll"},
        {ProgramFolder() + "\\orvenna.exe", "Orvenna: finds the DLLs that nothing links to", "orvenna.exe"},
        {ProgramFolder() + "\\orvscan.exe", "Orvenna console scanner", "orvscan.exe"},
    };
    for (const auto& binary : binaries)
    {
        SCOPED_TRACE(binary.path);
        QemUpdateVerListbox(list_, binary.path.c_str());
        std::vector<std::string> lines = Lines();
        ASSERT_EQ(7u, lines.size()) << Listing();
        EXPECT_EQ("File version:\t" ORV_VERSION ".0.0", lines[0]);
        EXPECT_EQ("Product version:\t" ORV_VERSION, lines[1]);
        EXPECT_EQ("Company:\tTessaly Software Ltd", lines[2]);
        EXPECT_EQ(std::string("Description:\t") + binary.description, lines[3]);
        EXPECT_EQ("Copyright:\tCopyright (C) 2026 Tessaly Software Ltd", lines[4]);
        EXPECT_EQ(std::string("Original name:\t") + binary.name, lines[5]);
        EXPECT_EQ(0u, lines[6].rfind("Language:\tEnglish", 0)) << lines[6];
        EXPECT_GT(SendMessageA(list_, LB_GETHORIZONTALEXTENT, 0, 0), 0) << "scrolls to the longest line";
    }
}

// The fixture has a German record without copyright, original name or product version
// text: only what is there is listed, the product version from the numbers.
TEST_F(VersionListTest, ShowsOnlyFieldsPresentInFirstTranslation)
{
    QemUpdateVerListbox(list_, (ProgramFolder() + "\\version_fixture.dll").c_str());
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(5u, lines.size()) << Listing();
    EXPECT_EQ("File version:\t1.2.3.4", lines[0]);
    EXPECT_EQ("Product version:\t5.6.0.0", lines[1]);
    EXPECT_EQ("Company:\tFixture Works", lines[2]);
    EXPECT_EQ("Description:\tVersion fixture", lines[3]) << "trailing blanks dropped";
    EXPECT_EQ(0u, lines[4].rfind("Language:\tGerman", 0)) << lines[4];
}

TEST_F(VersionListTest, FileWithoutRecordGivesOnePlainLine)
{
    QemUpdateVerListbox(list_, LibraryPath().c_str());
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    QemUpdateVerListbox(list_, program);
    EXPECT_EQ(std::vector<std::string>{"No version information."}, Lines()) << "the earlier lines are gone";

    QemUpdateVerListbox(list_, "C:\\no such folder\\gone.dll");
    EXPECT_EQ(std::vector<std::string>{"The file cannot be found."}, Lines());
}

// One item drawn into a bitmap of its own, to read pixels from.
class DrawnItem
{
public:
    DrawnItem(HWND list, UINT index, UINT state)
    {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, 400, 20);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);

        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_LISTBOX;
        item.CtlID = 353;
        item.itemID = index;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = list;
        item.hDC = dc_;
        item.rcItem = {0, 0, 400, 20};
        QemDrawVerListBox(&item);
    }
    ~DrawnItem()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    DrawnItem(const DrawnItem&) = delete;
    DrawnItem& operator=(const DrawnItem&) = delete;

    COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }

    // Whether any pixel of the rectangle differs from the colour: something is drawn there.
    bool Differs(const RECT& area, COLORREF colour) const
    {
        for (int x = area.left; x < area.right; ++x)
        {
            for (int y = area.top; y < area.bottom; ++y)
            {
                if (Pixel(x, y) != colour)
                    return true;
            }
        }
        return false;
    }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

TEST_F(VersionListTest, DrawsItemInListOrSelectionColours)
{
    QemUpdateVerListbox(list_, LibraryPath().c_str());
    const COLORREF grey = RGB(192, 192, 192);
    DrawnItem plain(list_, 0, 0);
    EXPECT_EQ(grey, plain.Pixel(398, 1)) << "the parent's list brush";
    EXPECT_TRUE(plain.Differs({2, 0, 30, 20}, grey)) << "the label";
    EXPECT_TRUE(plain.Differs({150, 0, 250, 20}, grey)) << "the value, in its column";

    DrawnItem selected(list_, 0, ODS_SELECTED);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), selected.Pixel(398, 1));
    EXPECT_TRUE(selected.Differs({2, 0, 30, 20}, GetSysColor(COLOR_HIGHLIGHT)));
}

} // namespace
