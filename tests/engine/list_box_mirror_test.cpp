#include "engine/list_box_mirror.h"
#include "engine/name_collation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace
{

// The result list's style without LBS_SORT: owner-drawn with strings, extended
// selection, as the main window creates it.
constexpr DWORD kResultListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
                                   LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT |
                                   LBS_EXTENDEDSEL;
constexpr DWORD kSingleSelectionStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS;
constexpr char kHostClass[] = "OrvennaMirrorTestHost";

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MEASUREITEM)
    {
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 16;
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT Send(HWND listBox, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageA(listBox, message, wParam, lParam);
}

std::string TextAt(HWND listBox, int index)
{
    char text[kNameBufferSize] = {};
    if (Send(listBox, LB_GETTEXTLEN, static_cast<WPARAM>(index)) >= kNameBufferSize)
        return "(too long)";
    Send(listBox, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<int> SelectedIndexes(HWND listBox)
{
    std::vector<int> selected;
    int count = static_cast<int>(Send(listBox, LB_GETCOUNT));
    for (int i = 0; i < count; ++i)
        if (Send(listBox, LB_GETSEL, static_cast<WPARAM>(i)) > 0)
            selected.push_back(i);
    return selected;
}

void ExpectMirrors(HWND listBox, const NameList& list, int line)
{
    testing::ScopedTrace trace(__FILE__, line, "list box against store");
    ASSERT_EQ(Send(listBox, LB_GETCOUNT), GetCount(list));
    for (int i = 0; i < GetCount(list); ++i)
        ASSERT_EQ(TextAt(listBox, i), NameAt(list, i)) << "index " << i;
}

#define EXPECT_MIRRORS() ExpectMirrors(listBox, list, __LINE__)

class ListBoxMirror : public testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSA host{};
        host.lpfnWndProc = HostProc;
        host.hInstance = GetModuleHandleA(nullptr);
        host.lpszClassName = kHostClass;
        RegisterClassA(&host); // fails harmlessly when an earlier test registered it
        window = CreateWindowExA(0, kHostClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        listBox = MakeListBox(kResultListStyle, 351);
        ASSERT_NE(listBox, nullptr);
    }

    void TearDown() override
    {
        DetachListBox(list);
        if (window)
            DestroyWindow(window);
    }

    HWND MakeListBox(DWORD style, int id)
    {
        return CreateWindowExA(0, "LISTBOX", "", style, 0, 0, 380, 260, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                               nullptr);
    }

    HWND window = nullptr;
    HWND listBox = nullptr;
    NameList list;
};

TEST_F(ListBoxMirror, AttachReplacesWhatTheListBoxShowedWithTheStoresEntries)
{
    Send(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("STALE ENTRY"));
    for (std::string_view name : {"C:\\B.DLL", "C:\\A.DLL", "c:\\a.dll", "C:\\C.DLL"})
        AddName(list, name);
    ASSERT_EQ(AttachListBox(list, listBox), 1);
    EXPECT_MIRRORS();

    NameList empty;
    ASSERT_EQ(AttachListBox(empty, listBox), 1);
    EXPECT_EQ(Send(listBox, LB_GETCOUNT), 0);
    DetachListBox(empty);
}

TEST_F(ListBoxMirror, ListBoxFollowsAddsRemovalsDropDuplicatesAndClear)
{
    list.blockLimit = 16; // so that changes cross many block boundaries
    ASSERT_EQ(AttachListBox(list, listBox), 1);
    // A few hundred distinct names in two cases: case twins and runs of equals come
    // up often.
    std::mt19937 random(11);
    auto randomName = [&] {
        std::string name = "C:\\W\\M" + std::to_string(random() % 700) + ".DLL";
        if (random() % 3 == 0)
            for (char& c : name)
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return name;
    };
    for (int i = 0; i < 2500; ++i)
        AddName(list, randomName());
    EXPECT_MIRRORS();
    for (int i = 0; i < 300; ++i)
    {
        RemoveAt(list, static_cast<int>(random() % (GetCount(list) + 2)) - 1);
        AddName(list, randomName());
    }
    EXPECT_MIRRORS();
    int before = GetCount(list);
    DropDuplicates(list);
    ASSERT_LT(GetCount(list), before);
    EXPECT_MIRRORS();
    for (int i = 0; i < 200; ++i)
        AddName(list, randomName());
    DropDuplicates(list);
    EXPECT_MIRRORS();
    Clear(list);
    EXPECT_MIRRORS();
    AddName(list, "C:\\AFTER.DLL");
    EXPECT_MIRRORS();
}

std::string CurrentName(HWND listBox, const NameList& list)
{
    return std::string(NameAt(list, static_cast<int>(Send(listBox, LB_GETCURSEL))));
}

// The list box moves each item's selection with the item; the mirror moves the
// caret, which is the current item of LB_GETCURSEL, and the anchor.
TEST_F(ListBoxMirror, SelectionCaretAndAnchorKeepDenotingTheirEntries)
{
    for (std::string_view name : {"A", "C", "E", "G", "I"})
        AddName(list, name);
    ASSERT_EQ(AttachListBox(list, listBox), 1);
    Send(listBox, LB_SETSEL, TRUE, 1);
    Send(listBox, LB_SETSEL, TRUE, 3);
    Send(listBox, LB_SETCARETINDEX, 3);
    Send(listBox, LB_SETANCHORINDEX, 1);
    auto selectedNames = [&] {
        std::vector<std::string> names;
        for (int i : SelectedIndexes(listBox))
            names.emplace_back(NameAt(list, i));
        return names;
    };
    auto anchorName = [&] {
        return std::string(NameAt(list, static_cast<int>(Send(listBox, LB_GETANCHORINDEX))));
    };
    const std::vector<std::string> expected{"C", "G"};
    ASSERT_EQ(selectedNames(), expected);
    ASSERT_EQ(CurrentName(listBox, list), "G");

    AddName(list, "B"); // before both
    EXPECT_EQ(SelectedIndexes(listBox), (std::vector<int>{2, 4}));
    EXPECT_EQ(Send(listBox, LB_GETCURSEL), 4);
    AddName(list, "D"); // between them
    AddName(list, "c"); // a case twin right after the selected "C"
    AddName(list, "G"); // an equal entry goes after the current one
    AddName(list, "Z");
    EXPECT_EQ(selectedNames(), expected);
    EXPECT_EQ(CurrentName(listBox, list), "G");
    EXPECT_EQ(Send(listBox, LB_GETCURSEL), 6);
    EXPECT_EQ(anchorName(), "C");
    RemoveAt(list, 0);
    EXPECT_EQ(selectedNames(), expected);
    EXPECT_EQ(CurrentName(listBox, list), "G");
    EXPECT_EQ(anchorName(), "C");
    EXPECT_MIRRORS();

    // Of the runs (C, c) and (G, G) the later stay: the current "G" and the
    // selected "C" go; the current item is then the "G" that moved into its place.
    AddName(list, "a");
    DropDuplicates(list);
    EXPECT_EQ(selectedNames(), std::vector<std::string>{});
    EXPECT_EQ(CurrentName(listBox, list), "G");
    EXPECT_EQ(Send(listBox, LB_GETCURSEL), 5);
    EXPECT_MIRRORS();
}

// Following the current item does not scroll the list: the view stays where the
// user left it, as it does when the list box shifts items by itself.
TEST_F(ListBoxMirror, FollowingTheCurrentItemLeavesTheViewAlone)
{
    for (int i = 0; i < 200; ++i)
        AddName(list, "C:\\M" + std::to_string(1000 + i));
    ASSERT_EQ(AttachListBox(list, listBox), 1);
    Send(listBox, LB_SETTOPINDEX, 100);
    Send(listBox, LB_SETCARETINDEX, 105);
    ASSERT_EQ(Send(listBox, LB_GETTOPINDEX), 100);
    for (int i = 0; i < 40; ++i)
        AddName(list, "C:\\A" + std::to_string(i));
    EXPECT_EQ(CurrentName(listBox, list), "C:\\M1105");
    EXPECT_EQ(Send(listBox, LB_GETTOPINDEX), 100);
    for (int i = 0; i < 60; ++i)
        RemoveAt(list, 0);
    EXPECT_EQ(CurrentName(listBox, list), "C:\\M1105");
    EXPECT_EQ(Send(listBox, LB_GETTOPINDEX), 100);
}

// Deferred, the caret and the anchor land on the entries they would have followed
// change by change, once settled; the entries and the selection follow at once, the
// view does not move, and a caret the user sets between settlings counts from there.
TEST_F(ListBoxMirror, DeferredMarksLandOnTheirEntriesWhenSettled)
{
    for (int i = 0; i < 100; ++i)
        AddName(list, "C:\\M" + std::to_string(1000 + i));
    ASSERT_EQ(AttachListBox(list, listBox), 1);
    Send(listBox, LB_SETSEL, TRUE, 10);
    Send(listBox, LB_SETCARETINDEX, 12);
    Send(listBox, LB_SETANCHORINDEX, 10);
    const int top = static_cast<int>(Send(listBox, LB_GETTOPINDEX));
    auto anchorName = [&] {
        return std::string(NameAt(list, static_cast<int>(Send(listBox, LB_GETANCHORINDEX))));
    };

    DeferListBoxMarks(list);
    for (int i = 0; i < 30; ++i)
        AddName(list, "C:\\A" + std::to_string(i));
    RemoveAt(list, 0);
    AddName(list, "C:\\M1011X");
    EXPECT_MIRRORS();
    EXPECT_EQ(SelectedIndexes(listBox), std::vector<int>{39});
    SettleListBoxMarks(list);
    EXPECT_EQ(CurrentName(listBox, list), "C:\\M1012");
    EXPECT_EQ(anchorName(), "C:\\M1010");
    EXPECT_EQ(Send(listBox, LB_GETTOPINDEX), top);

    Send(listBox, LB_SETCARETINDEX, static_cast<WPARAM>(FindPrefix(list, "C:\\M1050")));
    AddName(list, "C:\\B");
    RemoveAt(list, 5);
    EndListBoxMarksDeferral(list);
    EXPECT_EQ(CurrentName(listBox, list), "C:\\M1050");
    EXPECT_EQ(anchorName(), "C:\\M1010");
    // No longer deferred: the caret follows at every change again.
    AddName(list, "C:\\C");
    EXPECT_EQ(CurrentName(listBox, list), "C:\\M1050");
    EXPECT_MIRRORS();
}

// Removing selected items by index while walking upwards, as the delete command
// does, leaves exactly the unselected ones in both.
TEST_F(ListBoxMirror, RemovingSelectedItemsInAWalkKeepsBothInStep)
{
    for (std::string_view name : {"A", "B", "C", "D", "E"})
        AddName(list, name);
    ASSERT_EQ(AttachListBox(list, listBox), 1);
    Send(listBox, LB_SETSEL, TRUE, 2);
    Send(listBox, LB_SETSEL, TRUE, 3);
    int count = GetCount(list);
    for (int i = 0; i < count; ++i)
        if (Send(listBox, LB_GETSEL, static_cast<WPARAM>(i)) > 0)
        {
            RemoveAt(list, i);
            --i;
            --count;
        }
    EXPECT_MIRRORS();
    EXPECT_EQ(GetCount(list), 3);
    EXPECT_EQ(Send(listBox, LB_GETSELCOUNT), 0);
}

TEST_F(ListBoxMirror, SingleSelectionFollowsItsEntry)
{
    HWND single = MakeListBox(kSingleSelectionStyle, 353);
    ASSERT_NE(single, nullptr);
    for (std::string_view name : {"B", "D", "F"})
        AddName(list, name);
    ASSERT_EQ(AttachListBox(list, single), 1);
    Send(single, LB_SETCURSEL, 1);
    AddName(list, "A");
    EXPECT_EQ(Send(single, LB_GETCURSEL), 2);
    RemoveAt(list, 0);
    RemoveAt(list, 0);
    EXPECT_EQ(Send(single, LB_GETCURSEL), 0);
    EXPECT_EQ(TextAt(single, 0), "D");
    ExpectMirrors(single, list, __LINE__);
}

// No table of bytes gives the locale's collation of every two printable ANSI
// characters; the store stands them where a sorted list box does, and finds them.
TEST_F(ListBoxMirror, CollationOrderIsASortedListBoxsOrder)
{
    HWND sorted = MakeListBox(WS_CHILD | LBS_SORT | LBS_HASSTRINGS, 289);
    ASSERT_NE(sorted, nullptr);
    const LCID locale = static_cast<LCID>(Send(sorted, LB_GETLOCALE));
    OrderAsSortedListBox(list, locale);
    std::vector<std::string> pairs;
    for (int first = 0x20; first < 0x100; ++first)
        for (int second = 0x20; second < 0x100; ++second)
            if (first != 0x7f && second != 0x7f)
                pairs.push_back({static_cast<char>(first), static_cast<char>(second)});
    for (const std::string& pair : pairs)
    {
        AddName(list, pair);
        Send(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pair.c_str()));
    }
    ASSERT_EQ(Send(sorted, LB_GETCOUNT), GetCount(list));
    for (int i = 0; i < GetCount(list); ++i)
    {
        const std::string_view name = NameAt(list, i);
        ASSERT_EQ(CSTR_EQUAL, CompareStringA(locale, NORM_IGNORECASE, name.data(),
                                             static_cast<int>(name.size()), TextAt(sorted, i).c_str(), -1))
            << i << ": " << name;
    }
    for (std::size_t k = 0; k < pairs.size(); k += 41)
    {
        const std::string key = pairs[k].substr(0, 1 + k % 2);
        EXPECT_EQ(
            0, _strnicmp(std::string(NameAt(list, FindPrefix(list, key))).c_str(), key.c_str(), key.size()))
            << key;
    }
}

TEST_F(ListBoxMirror, DetachedListBoxKeepsWhatItShowed)
{
    AddName(list, "KEPT");
    ASSERT_EQ(AttachListBox(list, listBox), 1);
    DetachListBox(list);
    AddName(list, "LATER");
    Clear(list);
    EXPECT_EQ(Send(listBox, LB_GETCOUNT), 1);
    EXPECT_EQ(TextAt(listBox, 0), "KEPT");
}

TEST_F(ListBoxMirror, RefusesAnOwnerDrawnListBoxWithoutStrings)
{
    HWND pointers = MakeListBox(WS_CHILD | LBS_OWNERDRAWFIXED, 290);
    ASSERT_NE(pointers, nullptr);
    AddName(list, "A");
    EXPECT_EQ(AttachListBox(list, pointers), -1);
    AddName(list, "B");
    EXPECT_EQ(Send(pointers, LB_GETCOUNT), 0);
}

} // namespace
