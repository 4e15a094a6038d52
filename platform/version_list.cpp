// The version list: filled from a file's version record (QemUpdateVerListbox) and drawn
// item by item (QemDrawVerListBox). A field is a "Label:\tvalue" item; the values line
// up in a column just right of the widest label.
#include "platform/qem_internal.h"
#include "platform/qemcom95.h"
#include "platform/qemcom95_resources.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace
{

constexpr int kMargin = 4;

// Every label, in the order of the lines; the value column is measured over all of them.
constexpr std::array<UINT, 7> kLabelIds = {
    QEM_IDS_FILE_VERSION, QEM_IDS_PRODUCT_VERSION, QEM_IDS_COMPANY,  QEM_IDS_DESCRIPTION,
    QEM_IDS_COPYRIGHT,    QEM_IDS_ORIGINAL_NAME,   QEM_IDS_LANGUAGE,
};

// Where the values begin, from the item's left edge, in the font selected into dc.
int ValueColumn(HDC dc)
{
    int widest = 0;
    for (UINT id : kLabelIds)
    {
        std::string label = LoadLibraryString(id);
        SIZE extent;
        if (GetTextExtentPoint32A(dc, label.c_str(), static_cast<int>(label.size()), &extent) &&
            extent.cx > widest)
            widest = extent.cx;
    }
    TEXTMETRICA metrics;
    int gap = GetTextMetricsA(dc, &metrics) ? metrics.tmAveCharWidth * 2 : 2 * kMargin;
    return kMargin + widest + gap;
}

std::optional<std::vector<BYTE>> ReadVersionRecord(LPCSTR path)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<BYTE> record(size);
    if (!GetFileVersionInfoA(path, 0, size, record.data()))
        return std::nullopt;
    return record;
}

// A text of the record by its query path, without trailing blanks; empty when absent.
std::string QueryText(const std::vector<BYTE>& record, const std::string& query)
{
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(record.data(), query.c_str(), &value, &length) || !value || length == 0)
        return std::string();
    const char* text = static_cast<const char*>(value);
    std::string result(text, strnlen(text, length));
    while (!result.empty() && (result.back() == ' ' || result.back() == '\t'))
        result.pop_back();
    return result;
}

const VS_FIXEDFILEINFO* FixedInfo(const std::vector<BYTE>& record)
{
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(record.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return nullptr;
    auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    return info->dwSignature == VS_FFI_SIGNATURE ? info : nullptr;
}

std::string FormatVersion(DWORD high, DWORD low)
{
    char text[48];
    snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{HIWORD(high)}, unsigned{LOWORD(high)},
             unsigned{HIWORD(low)}, unsigned{LOWORD(low)});
    return text;
}

// The record's first translation, if it lists any: language in the high word, code page
// in the low one, as the string tables are named.
std::optional<DWORD> FirstTranslation(const std::vector<BYTE>& record)
{
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(record.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return std::nullopt;
    auto* pair = static_cast<const WORD*>(value);
    return MAKELONG(pair[1], pair[0]);
}

// The string table to read: the first translation's, else the usual U.S. English ones,
// since some linkers write string tables without a translation list.
std::string StringTableOf(const std::vector<BYTE>& record, std::optional<DWORD> translation)
{
    std::vector<DWORD> candidates;
    if (translation)
        candidates.push_back(*translation);
    candidates.insert(candidates.end(), {0x040904B0, 0x040904E4, 0x000004B0});
    for (DWORD candidate : candidates)
    {
        char table[40];
        snprintf(table, sizeof table, "\\StringFileInfo\\%08lx", static_cast<unsigned long>(candidate));
        void* value = nullptr;
        UINT length = 0;
        if (VerQueryValueA(record.data(), table, &value, &length) && value)
            return std::string(table) + "\\";
    }
    return std::string();
}

// translation: the language in the high word, the code page in the low one.
std::string LanguageName(DWORD translation)
{
    char name[128];
    DWORD length = VerLanguageNameA(HIWORD(translation), name, sizeof name);
    // Some platforms count the terminator in the length, some do not.
    return length > 0 && length <= sizeof name ? std::string(name, strnlen(name, length)) : std::string();
}

// The record's lines in label order, only the fields that have a value.
std::vector<std::string> VersionLines(const std::vector<BYTE>& record)
{
    const VS_FIXEDFILEINFO* fixed = FixedInfo(record);
    std::optional<DWORD> translation = FirstTranslation(record);
    std::string table = StringTableOf(record, translation);
    auto text = [&](const char* name) {
        return table.empty() ? std::string() : QueryText(record, table + name);
    };

    // The numbers are exact for the file version; the product version is shown as its
    // maker wrote it, which is often a plainer "5.0".
    std::string fileVersion =
        fixed ? FormatVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS) : text("FileVersion");
    std::string productVersion = text("ProductVersion");
    if (productVersion.empty() && fixed)
        productVersion = FormatVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    const std::array<std::string, 7> values = {
        fileVersion,
        productVersion,
        text("CompanyName"),
        text("FileDescription"),
        text("LegalCopyright"),
        text("OriginalFilename"),
        translation ? LanguageName(*translation) : std::string(),
    };

    std::vector<std::string> lines;
    for (size_t i = 0; i < values.size(); ++i)
    {
        if (!values[i].empty())
            lines.push_back(LoadLibraryString(kLabelIds[i]) + "\t" + values[i]);
    }
    return lines;
}

// The extent a line takes when drawn, for the list's horizontal scroll range.
int LineWidth(HDC dc, const std::string& line, int column)
{
    size_t tab = line.find('\t');
    std::string shown = tab == std::string::npos ? line : line.substr(tab + 1);
    SIZE extent = {};
    GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &extent);
    return (tab == std::string::npos ? kMargin : column) + extent.cx + kMargin;
}

void FillList(HWND list, const std::vector<std::string>& lines)
{
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    WindowDC dc(list);
    SelectedObject font(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    int column = ValueColumn(dc.Get());
    int widest = 0;
    for (const std::string& line : lines)
    {
        // Inserted at the end, so the record's order stands even in a sorted list.
        SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(line.c_str()));
        int width = LineWidth(dc.Get(), line, column);
        if (width > widest)
            widest = width;
    }
    SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest), 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

std::string ItemText(HWND list, UINT index)
{
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length == LB_ERR ? 0 : static_cast<size_t>(length));
    return text;
}

// The brush the list's owner paints the list with, so that items match its empty part.
HBRUSH ListBrush(const DRAWITEMSTRUCT& item)
{
    auto brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(item.hwndItem), WM_CTLCOLORLISTBOX,
                                                       reinterpret_cast<WPARAM>(item.hDC),
                                                       reinterpret_cast<LPARAM>(item.hwndItem)));
    return brush ? brush : GetSysColorBrush(COLOR_WINDOW);
}

void DrawClipped(HDC dc, int x, int y, const RECT& clip, const std::string& text)
{
    ExtTextOutA(dc, x, y, ETO_CLIPPED, &clip, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

} // namespace

void WINAPI QemUpdateVerListbox(HWND list, LPCSTR path)
{
    if (!list)
        return;
    std::vector<std::string> lines;
    if (!path || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
    {
        lines.push_back(LoadLibraryString(QEM_IDS_FILE_NOT_FOUND));
    }
    else
    {
        std::optional<std::vector<BYTE>> record = ReadVersionRecord(path);
        if (record)
            lines = VersionLines(*record);
        if (lines.empty())
            lines.push_back(LoadLibraryString(QEM_IDS_NO_VERSION));
    }
    FillList(list, lines);
}

void WINAPI QemDrawVerListBox(const DRAWITEMSTRUCT* item)
{
    if (!item || item->CtlType != ODT_LISTBOX || item->itemID == static_cast<UINT>(-1))
        return;
    HDC dc = item->hDC;
    const RECT& area = item->rcItem;
    bool selected = (item->itemState & ODS_SELECTED) != 0;
    std::string text = ItemText(item->hwndItem, item->itemID);

    FillRect(dc, &area, selected ? GetSysColorBrush(COLOR_HIGHLIGHT) : ListBrush(*item));
    COLORREF oldColour = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    int oldMode = SetBkMode(dc, TRANSPARENT);

    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    int y = area.top + (area.bottom - area.top - metrics.tmHeight) / 2;
    size_t tab = text.find('\t');
    DrawClipped(dc, area.left + kMargin, y, area, text.substr(0, tab));
    if (tab != std::string::npos)
        DrawClipped(dc, area.left + ValueColumn(dc), y, area, text.substr(tab + 1));

    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColour);
}
