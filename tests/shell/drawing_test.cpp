// What the window draws: the result list's items, the summary line, the background
// with its edge and the frames round the children.
#include "tests/shell/window_test_util.h"

#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/results.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "tests/platform/platform_test_util.h"

namespace
{

// A 32-bit top-down bitmap to draw into, read back pixel by pixel.
class Canvas
{
public:
    Canvas(int width, int height) : width_(width), dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        RECT all{0, 0, width, height};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Get() const { return dc_; }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        DWORD p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD* bits_ = nullptr;
};

COLORREF Inverted(COLORREF c)
{
    return RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c));
}

class DrawingTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        AddName(g_resultList, "C:\\WINDOWS\\SYSTEM\\FOO.DLL");
        Open();
        HBITMAP symbol = LoadBitmapA(QemGetInstHandle(), MAKEINTRESOURCEA(QEM_IDB_LIST_ITEM));
        BITMAP info{};
        GetObjectA(symbol, sizeof info, &info);
        DeleteObject(symbol);
        bw = info.bmWidth;
        bh = info.bmHeight;
    }

    // Draws item 0 of the result list into canvas as the list would ask for it.
    int Draw(Canvas& canvas, UINT action, UINT state)
    {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_LISTBOX;
        item.CtlID = IDC_RESULT_LIST;
        item.itemID = 0;
        item.itemAction = action;
        item.itemState = state;
        item.hwndItem = g_resultListWindow;
        item.hDC = canvas.Get();
        item.rcItem = RECT{0, 0, kWidth, kHeight};
        SelectObject(canvas.Get(),
                     reinterpret_cast<HFONT>(SendMessageA(g_resultListWindow, WM_GETFONT, 0, 0)));
        return static_cast<int>(
            SendMessageA(window, WM_DRAWITEM, IDC_RESULT_LIST, reinterpret_cast<LPARAM>(&item)));
    }

    static constexpr int kWidth = 300, kHeight = 22;
    int bw = 0, bh = 0;
};

TEST_F(DrawingTest, SelectedItemIsInvertedFromTheSymbolsRightEdge)
{
    ASSERT_GT(bw, 0);
    Canvas plain(kWidth, kHeight), selected(kWidth, kHeight);
    EXPECT_EQ(TRUE, Draw(plain, ODA_DRAWENTIRE, 0));
    EXPECT_EQ(TRUE, Draw(selected, ODA_SELECT, ODS_SELECTED));
    const COLORREF grey = RGB(192, 192, 192);
    const int symbolTop = (kHeight - bh) / 2;
    // The symbol is drawn as it is in both, centred in the item's height.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < bw; ++x)
            ASSERT_EQ(plain.At(x, y), selected.At(x, y)) << x << "," << y;
    EXPECT_EQ(grey, plain.At(0, symbolTop - 1));
    // From the symbol's right edge on, light grey becomes its inverse.
    for (int y : {0, kHeight - 1})
        for (int x : {bw, bw + 3, kWidth - 1})
        {
            EXPECT_EQ(grey, plain.At(x, y)) << x << "," << y;
            EXPECT_EQ(Inverted(grey), selected.At(x, y)) << x << "," << y;
        }
    // The name is black on grey, and inverted with the rest.
    int black = 0;
    for (int x = bw + 4; x < kWidth; ++x)
        for (int y = 0; y < kHeight; ++y)
            if (plain.At(x, y) == RGB(0, 0, 0))
            {
                ++black;
                EXPECT_EQ(RGB(255, 255, 255), selected.At(x, y)) << x << "," << y;
            }
    EXPECT_GT(black, 20) << "the name is drawn";
}

// The current item wears a dotted frame from the symbol's right edge, drawn whole at
// every change of focus, so that it comes and goes with the focus.
TEST_F(DrawingTest, CurrentItemHasAFocusRectangle)
{
    Canvas plain(kWidth, kHeight), focused(kWidth, kHeight), unfocused(kWidth, kHeight);
    Draw(plain, ODA_DRAWENTIRE, ODS_SELECTED);
    EXPECT_EQ(TRUE, Draw(focused, ODA_FOCUS, ODS_FOCUS | ODS_SELECTED));
    EXPECT_EQ(TRUE, Draw(unfocused, ODA_FOCUS, ODS_SELECTED));
    int framed = 0;
    for (int x = bw; x < kWidth; ++x)
        for (int y : {0, kHeight - 1})
        {
            framed += focused.At(x, y) != plain.At(x, y);
            ASSERT_EQ(plain.At(x, y), unfocused.At(x, y)) << x << "," << y;
        }
    EXPECT_GT(framed, kWidth / 2) << "the frame's top and bottom edges are dotted";
    EXPECT_EQ(plain.At(kWidth / 2, kHeight / 2), focused.At(kWidth / 2, kHeight / 2));
}

TEST_F(DrawingTest, LowerCaseShowsTheNameInLowerCaseButKeepsTheItem)
{
    Canvas lower(kWidth, kHeight), reference(kWidth, kHeight);
    SendMessageA(window, WM_COMMAND, IDM_LOWER_CASE, 0);
    Draw(lower, ODA_DRAWENTIRE, 0);
    // The same item of a lower-case name, drawn with the setting off.
    SendMessageA(window, WM_COMMAND, IDM_LOWER_CASE, 0);
    Clear(g_resultList);
    AddName(g_resultList, "c:\\windows\\system\\foo.dll");
    Draw(reference, ODA_DRAWENTIRE, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(reference.At(x, y), lower.At(x, y)) << x << "," << y;
    Clear(g_resultList);
    AddName(g_resultList, "C:\\WINDOWS\\SYSTEM\\FOO.DLL");
    SendMessageA(window, WM_COMMAND, IDM_LOWER_CASE, 0);
    EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\SYSTEM\\FOO.DLL"}, ListTexts(g_resultListWindow));
    SendMessageA(window, WM_COMMAND, IDM_LOWER_CASE, 0);
}

TEST_F(DrawingTest, ItemWithoutTextDrawsNothing)
{
    Clear(g_resultList);
    Canvas canvas(kWidth, kHeight);
    EXPECT_EQ(TRUE, Draw(canvas, ODA_DRAWENTIRE, 0));
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(kWidth / 2, kHeight / 2));
}

// Files past 4 GB together: made sparse, so that they take no disk space.
TEST_F(DrawingTest, SummaryLineCountsPast4GB)
{
    ScratchFolder folder("orvenna_summary");
    Clear(g_resultList);
    for (const char* name : {"BIG1.DLL", "BIG2.DLL"})
    {
        std::string path = folder / name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        LARGE_INTEGER size;
        size.QuadPart = 3LL << 30;
        bool grown = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
        if (!grown)
            GTEST_SKIP() << "the disk cannot hold a 3 GB file, even a sparse one";
        AddName(g_resultList, path);
    }
    AddName(g_resultList, folder / "GONE.DLL");
    UpdateSummaryLine(window);
    EXPECT_EQ(" 3 possibly unlinked .DLLs listed. Disk space taken: 6,442,450,944 bytes",
              StatusLineText(window));
    Clear(g_resultList);
    UpdateSummaryLine(window);
    EXPECT_EQ(" 0 possibly unlinked .DLLs listed. Disk space taken: 0 bytes", StatusLineText(window));
}

// The result list's items that the main window draws.
int s_itemsDrawn = 0;
WNDPROC s_mainWindowProc = nullptr;

LRESULT CALLBACK CountingItemsDrawn(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A focus change draws nothing.
    if (message == WM_DRAWITEM && wParam == IDC_RESULT_LIST &&
        reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->itemAction != ODA_FOCUS)
        ++s_itemsDrawn;
    return CallWindowProcA(s_mainWindowProc, window, message, wParam, lParam);
}

void AddNumberedNames(const char* folder, int count)
{
    for (int i = 0; i < count; ++i)
        AddName(g_resultList, std::string(folder) + "\\N" + std::to_string(1000 + i) + ".DLL");
}

// Items drawn by the pump step that comes once the list is due to be shown again.
int ItemsDrawnByTheNextShowing()
{
    Sleep(1100);
    s_itemsDrawn = 0;
    PumpStep();
    PumpWaitingMessages();
    return s_itemsDrawn;
}

// Items drawn once what waits for the window is handled, after request asked it.
template <class Request> int ItemsDrawnAtOnceAfter(Request request)
{
    s_itemsDrawn = 0;
    request();
    PumpWaitingMessages();
    return s_itemsDrawn;
}

// While a scan holds it, the list is shown once a second; its items are drawn again only
// when its page changed, or at once when it is asked to repaint, while the scroll bar
// always follows the count.
TEST_F(MainWindowTest, HeldResultListDrawsItsItemsOnlyWhenItsPageChangedOrItIsAskedTo)
{
    Open();
    s_mainWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingItemsDrawn)));
    PumpWaitingMessages();
    HoldResultListDrawing(window);
    AddNumberedNames("C:\\B", 100);
    EXPECT_EQ(0, s_itemsDrawn) << "nothing is drawn between showings";
    const int firstPage = ItemsDrawnByTheNextShowing();
    EXPECT_GT(firstPage, 3);
    EXPECT_LT(firstPage, 100) << "only the page is drawn";

    // Every new name sorts after the page.
    AddNumberedNames("C:\\C", 50);
    EXPECT_EQ(0, ItemsDrawnByTheNextShowing());
    EXPECT_EQ(firstPage, ItemsDrawnAtOnceAfter([] { InvalidateRect(g_resultListWindow, nullptr, TRUE); }));
    for (int toggle = 0; toggle < 2; ++toggle)
        EXPECT_EQ(firstPage,
                  ItemsDrawnAtOnceAfter([&] { SendMessageA(window, WM_COMMAND, IDM_LOWER_CASE, 0); }));
    EXPECT_EQ(0, ItemsDrawnByTheNextShowing());
    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_RANGE;
    ASSERT_TRUE(GetScrollInfo(g_resultListWindow, SB_VERT, &scroll));
    EXPECT_EQ(149, scroll.nMax);

    // One name before the page moves every item of it; so does a selection in it.
    AddName(g_resultList, "C:\\A\\FIRST.DLL");
    EXPECT_EQ(firstPage, ItemsDrawnByTheNextShowing());
    SendMessageA(g_resultListWindow, LB_SETSEL, TRUE, 2);
    EXPECT_GT(ItemsDrawnByTheNextShowing(), 0);
    ReleaseResultListDrawing();
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_mainWindowProc));
}

// The window as it shows on the screen.
COLORREF ScreenPixel(HWND window, int x, int y)
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

TEST_F(DrawingTest, BackgroundPatternRaisedEdgeAndSunkenFrames)
{
    // Without the bars, which would cover the edge's top and bottom.
    SendMessageA(window, WM_COMMAND, IDM_SHOW_TOOLBAR, 0);
    SendMessageA(window, WM_COMMAND, IDM_SHOW_STATUS_BAR, 0);
    SetWindowPos(window, HWND_TOPMOST, 10, 10, 500, 400, SWP_SHOWWINDOW);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpWaitingMessages();
    RECT client;
    GetClientRect(window, &client);
    if (ScreenPixel(window, 1, 1) == CLR_INVALID)
        GTEST_SKIP() << "the screen cannot be read back here";
    const COLORREF white = RGB(255, 255, 255), grey = RGB(192, 192, 192), shadow = RGB(128, 128, 128);
    // The tile, in the left margin: white where column and row are both odd.
    for (int y = 100; y < 102; ++y)
        for (int x = 2; x < 6; ++x)
            EXPECT_EQ(x % 2 && y % 2 ? white : grey, ScreenPixel(window, x, y)) << x << "," << y;
    // The raised edge: white on the left and top, grey on the right and bottom.
    EXPECT_EQ(white, ScreenPixel(window, 1, client.bottom / 2));
    EXPECT_EQ(white, ScreenPixel(window, client.right / 2, 0));
    EXPECT_EQ(shadow, ScreenPixel(window, client.right - 1, client.bottom / 2));
    EXPECT_EQ(shadow, ScreenPixel(window, client.right / 2, client.bottom - 1));
    // The sunken frame round the result list: black above and left, white right and below.
    RECT list = ChildRect(window, IDC_RESULT_LIST);
    EXPECT_EQ(RGB(0, 0, 0), ScreenPixel(window, list.left - 1, list.top + 10));
    EXPECT_EQ(RGB(0, 0, 0), ScreenPixel(window, list.left + 10, list.top - 1));
    EXPECT_EQ(white, ScreenPixel(window, list.right + 1, list.top + 10));
    EXPECT_EQ(white, ScreenPixel(window, list.left + 10, list.bottom + 1));
    // The list itself is light grey.
    EXPECT_EQ(grey, ScreenPixel(window, list.right - 25, list.bottom - 3));
}

} // namespace
