// The Filters dialog, opened by Set Filters on the main window and driven by a hook:
// its first fill, Add with its refusals, Delete, Defaults, OK and Cancel.
#include "tests/shell/window_test_util.h"

#include <cstdio>
#include <functional>
#include <utility>

#include "engine/scan_state.h"
#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "tests/platform/platform_test_util.h"

namespace
{

using Items = std::vector<std::pair<std::string, int>>;

Items DefaultItems()
{
    Items items;
    for (const DefaultFilter& filter : kDefaultFilters)
        items.emplace_back(filter.extension, filter.kind);
    return items;
}

Items ListedFilters(HWND dialog)
{
    Items items;
    HWND list = GetDlgItem(dialog, IDC_FILTER_LIST);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++)
    {
        char text[64] = {};
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.emplace_back(text,
                           static_cast<int>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0)));
    }
    return items;
}

void Press(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types text into the extension field and presses Add.
void Add(HWND dialog, const char* text)
{
    SetDlgItemTextA(dialog, IDC_FILTER_EXTENSION, text);
    Press(dialog, IDC_FILTER_ADD);
}

// Selects an entry as a click does: the selection, then the notification.
void Select(HWND dialog, int index)
{
    HWND list = GetDlgItem(dialog, IDC_FILTER_LIST);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_FILTER_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

LRESULT Selection(HWND dialog)
{
    return SendDlgItemMessageA(dialog, IDC_FILTER_LIST, LB_GETCURSEL, 0, 0);
}

bool Enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

std::string FieldText(HWND dialog)
{
    return WindowText(GetDlgItem(dialog, IDC_FILTER_EXTENSION));
}

class FiltersDialogTest : public MainWindowTest
{
protected:
    // Set Filters with steps run on the open dialog; steps must close it. Message
    // boxes over the dialog are answered with OK, their texts kept in messages.
    int SetFiltersWith(std::function<void(HWND)> steps)
    {
        DialogAnswerer answerer([&](HWND dialog) {
            if (WindowText(dialog) == "Filters")
            {
                steps(dialog);
                return;
            }
            std::string longest;
            for (const std::string& text : StaticTexts(dialog))
                if (text.size() > longest.size())
                    longest = text;
            messages.push_back(longest);
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        const int result = SetFilters(window);
        dialogs = answerer.Count() - static_cast<int>(messages.size());
        return result;
    }

    std::vector<std::string> messages;
    int dialogs = 0;
};

TEST_F(FiltersDialogTest, FreshInstallationShowsTheDefaultsAndOkStoresThirteen)
{
    Open();
    bool executableChecked = false, otherChecked = true, okEnabled = false, deleteEnabled = false;
    LRESULT limit = 0;
    HWND focus = nullptr, field = nullptr;
    Items shown;
    const int result = SetFiltersWith([&](HWND dialog) {
        shown = ListedFilters(dialog);
        executableChecked = IsDlgButtonChecked(dialog, IDC_FILTER_EXECUTABLE) == BST_CHECKED;
        otherChecked = IsDlgButtonChecked(dialog, IDC_FILTER_OTHER) == BST_CHECKED;
        okEnabled = Enabled(dialog, IDOK);
        deleteEnabled = Enabled(dialog, IDC_FILTER_DELETE);
        limit = SendDlgItemMessageA(dialog, IDC_FILTER_EXTENSION, EM_GETLIMITTEXT, 0, 0);
        focus = GetFocus();
        field = GetDlgItem(dialog, IDC_FILTER_EXTENSION);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(1, dialogs);
    EXPECT_EQ(1, result);
    EXPECT_EQ(DefaultItems(), shown);
    EXPECT_TRUE(executableChecked);
    EXPECT_FALSE(otherChecked);
    EXPECT_TRUE(okEnabled);
    EXPECT_TRUE(deleteEnabled);
    EXPECT_EQ(4, limit);
    EXPECT_EQ(field, focus) << "the first tab stop has the focus";
    EXPECT_EQ(13, StoredByte("Count"));
    EXPECT_EQ(".EXE 1", StoredText("Ext1"));
    EXPECT_EQ(".GRP 0", StoredText("Ext9"));
    EXPECT_EQ(".SCR 1", StoredText("Ext13"));
    // From now on the stored list is read, and the next scan uses it.
    std::vector<FilterEntry> entries;
    EXPECT_TRUE(ReadFilterList(entries, FILTER_VALUE_SIZE_DIALOG));
    EXPECT_EQ(13u, entries.size());
}

TEST_F(FiltersDialogTest, AddRefusesCoveredAndEmptyExtensionsAndCancelStoresNothing)
{
    Open();
    Items afterRefusals, afterAdds;
    const int result = SetFiltersWith([&](HWND dialog) {
        for (const char* refused : {"exe", "E", ".EX", "", ".", "a b", ".c d"})
            Add(dialog, refused);
        afterRefusals = ListedFilters(dialog);
        Add(dialog, ".ab");
        CheckDlgButton(dialog, IDC_FILTER_EXECUTABLE, BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_FILTER_OTHER, BST_CHECKED);
        Add(dialog, "ABCD");
        afterAdds = ListedFilters(dialog);
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(0, result);
    EXPECT_EQ(DefaultItems(), afterRefusals) << "every refusal leaves the list as it was";
    Items expected = DefaultItems();
    expected.emplace_back(".AB", 1);
    expected.emplace_back(".ABC", 0);
    EXPECT_EQ(expected, afterAdds);
    EXPECT_EQ(std::vector<std::string>{}, StoredValues()) << "Cancel stores nothing";
}

TEST_F(FiltersDialogTest, ModernReadingTakesExtensionsOfEightCharacters)
{
    Open();
    g_readModernLinks = 1;
    LRESULT limit = 0;
    Items added;
    SetFiltersWith([&](HWND dialog) {
        limit = SendDlgItemMessageA(dialog, IDC_FILTER_EXTENSION, EM_GETLIMITTEXT, 0, 0);
        Add(dialog, "node");
        Add(dialog, ".longext8");
        added = ListedFilters(dialog);
        Press(dialog, IDOK);
    });
    g_readModernLinks = 0;
    EXPECT_EQ(9, limit);
    Items expected = DefaultItems();
    expected.emplace_back(".NODE", 1);
    expected.emplace_back(".LONGEXT8", 1);
    EXPECT_EQ(expected, added);
    EXPECT_EQ(".LONGEXT8 1", StoredText("Ext15"));
}

TEST_F(FiltersDialogTest, StoredListIsShownAsStoredAndLongerExtensionsPassAShorterOne)
{
    StoreFilterList({{".ex", 0}, {".INI", 1}});
    Open();
    Items shown, afterAdds;
    const int result = SetFiltersWith([&](HWND dialog) {
        shown = ListedFilters(dialog);
        Add(dialog, ".EXE"); // ".ex" does not begin with ".EXE"
        Add(dialog, "in");   // ".INI" begins with ".IN"
        afterAdds = ListedFilters(dialog);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ((Items{{".ex", 0}, {".INI", 1}}), shown);
    EXPECT_EQ((Items{{".ex", 0}, {".INI", 1}, {".EXE", 1}}), afterAdds);
    EXPECT_EQ(3, StoredByte("Count"));
    EXPECT_EQ(".EXE 1", StoredText("Ext3"));
}

TEST_F(FiltersDialogTest, SelectingAnEntryShowsItWithoutTheDotAndItsKind)
{
    Open();
    std::string grp, exe;
    bool grpOther = false, exeExecutable = false;
    SetFiltersWith([&](HWND dialog) {
        Select(dialog, 8);
        grp = FieldText(dialog);
        grpOther = IsDlgButtonChecked(dialog, IDC_FILTER_OTHER) == BST_CHECKED &&
                   IsDlgButtonChecked(dialog, IDC_FILTER_EXECUTABLE) == BST_UNCHECKED;
        Select(dialog, 0);
        exe = FieldText(dialog);
        exeExecutable = IsDlgButtonChecked(dialog, IDC_FILTER_EXECUTABLE) == BST_CHECKED &&
                        IsDlgButtonChecked(dialog, IDC_FILTER_OTHER) == BST_UNCHECKED;
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ("GRP", grp);
    EXPECT_TRUE(grpOther);
    EXPECT_EQ("EXE", exe);
    EXPECT_TRUE(exeExecutable);
}

TEST_F(FiltersDialogTest, DeleteSelectsTheFollowingEntryAndKeepsOkAndDeleteInStep)
{
    Open();
    LRESULT afterMiddle = 0, afterLast = 0;
    std::string followed;
    Items afterNoSelection;
    bool emptyOk = true, emptyDelete = true, addedOk = false, addedDelete = false, defaultsOk = false;
    Items afterDot, afterDefaults;
    SetFiltersWith([&](HWND dialog) {
        Select(dialog, 2);
        Press(dialog, IDC_FILTER_DELETE);
        afterMiddle = Selection(dialog);
        followed = ListedFilters(dialog)[2].first;
        Select(dialog, 11);
        Press(dialog, IDC_FILTER_DELETE);
        afterLast = Selection(dialog);
        Press(dialog, IDC_FILTER_DELETE); // nothing selected: message 21
        afterNoSelection = ListedFilters(dialog);
        while (!ListedFilters(dialog).empty())
        {
            Select(dialog, 0);
            Press(dialog, IDC_FILTER_DELETE);
        }
        emptyOk = Enabled(dialog, IDOK);
        emptyDelete = Enabled(dialog, IDC_FILTER_DELETE);
        Add(dialog, "."); // nothing to cover it now
        afterDot = ListedFilters(dialog);
        addedOk = Enabled(dialog, IDOK);
        addedDelete = Enabled(dialog, IDC_FILTER_DELETE);
        Select(dialog, 0);
        Press(dialog, IDC_FILTER_DELETE);
        Press(dialog, IDC_FILTER_DEFAULTS);
        afterDefaults = ListedFilters(dialog);
        defaultsOk = Enabled(dialog, IDOK) && Enabled(dialog, IDC_FILTER_DELETE);
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(2, afterMiddle);
    EXPECT_EQ(".FLT", followed) << "the fourth entry moved up into the third place";
    EXPECT_EQ(LB_ERR, afterLast);
    EXPECT_EQ(11u, afterNoSelection.size());
    char expected[300] = {};
    LoadStringA(QemGetInstHandle(), QEM_INFO_NO_EXTENSION, expected, sizeof expected);
    EXPECT_EQ(std::vector<std::string>{expected}, messages);
    EXPECT_FALSE(emptyOk);
    EXPECT_FALSE(emptyDelete);
    EXPECT_EQ((Items{{".", 1}}), afterDot);
    EXPECT_TRUE(addedOk);
    EXPECT_TRUE(addedDelete);
    EXPECT_EQ(DefaultItems(), afterDefaults);
    EXPECT_TRUE(defaultsOk);
    EXPECT_EQ(std::vector<std::string>{}, StoredValues());
}

// The count is stored in one byte.
TEST_F(FiltersDialogTest, AddRefusesThe256thEntry)
{
    Open();
    size_t full = 0, afterRefusal = 0;
    SetFiltersWith([&](HWND dialog) {
        for (int i = 0; ListedFilters(dialog).size() < MAX_FILTER_ENTRIES && i < 400; i++)
        {
            char extension[8];
            std::snprintf(extension, sizeof extension, ".Q%02X", i);
            Add(dialog, extension);
        }
        full = ListedFilters(dialog).size();
        Add(dialog, ".ZZZ");
        afterRefusal = ListedFilters(dialog).size();
        Press(dialog, IDOK);
    });
    EXPECT_EQ(255u, full);
    EXPECT_EQ(255u, afterRefusal);
    EXPECT_EQ(255, StoredByte("Count"));
    EXPECT_EQ(".Q00 1", StoredText("Ext14"));
}

TEST_F(FiltersDialogTest, HelpContextMnemonicsAndStaticsDarkBlueOnTheDialogsFace)
{
    Open();
    HelpRecorder help;
    COLORREF text = 0;
    int mode = 0;
    INT_PTR brush = 0;
    std::vector<int> reached;
    SetFiltersWith([&](HWND dialog) {
        // A label's mnemonic reaches the field it names.
        for (char key : {'t', 'e'})
        {
            MSG alt{dialog, WM_SYSCHAR, static_cast<WPARAM>(key), 0x20000000, 0, {}};
            IsDialogMessageA(dialog, &alt);
            reached.push_back(GetDlgCtrlID(GetFocus()));
        }
        Press(dialog, IDC_FILTER_HELP);
        HDC dc = CreateCompatibleDC(nullptr);
        brush = SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_FILTER_OTHER)));
        text = GetTextColor(dc);
        mode = GetBkMode(dc);
        DeleteDC(dc);
        Press(dialog, IDCANCEL);
    });
    ASSERT_EQ(1u, help.Calls().size());
    EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), help.Calls()[0].command);
    EXPECT_EQ(ProgramFolder() + "\\ORVENNA.HLP", help.Calls()[0].file);
    EXPECT_EQ(static_cast<ULONG_PTR>(IDD_FILTERS), help.Calls()[0].data);
    EXPECT_EQ(RGB(0, 0, 160), text);
    EXPECT_EQ(TRANSPARENT, mode);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE)), brush);
    EXPECT_EQ((std::vector<int>{IDC_FILTER_EXTENSION, IDC_FILTER_LIST}), reached);
}

TEST_F(FiltersDialogTest, SetFiltersIsRefusedDuringAScanAndReachedThroughItsCommand)
{
    Open();
    g_scanning = 1;
    EXPECT_EQ(0, SetFiltersWith([](HWND dialog) { Press(dialog, IDCANCEL); }));
    EXPECT_EQ(0, dialogs);
    g_scanning = 0;
    DialogAnswerer answerer([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); });
    SendMessageA(window, WM_COMMAND, IDM_SET_FILTERS, 0);
    EXPECT_EQ(1, answerer.Count());
    EXPECT_EQ(13, StoredByte("Count"));
}

} // namespace
