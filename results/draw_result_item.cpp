#include <windows.h>

#include <string>

#include "platform/ascii_case.h"
#include "platform/gdi_handles.h"
#include "platform/qemcom95.h"
#include "results/results.h"
#include "settings/settings.h"

// The item's text, or empty when the list has no such item.
static std::string ItemText(HWND list, UINT index)
{
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length <= 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length == LB_ERR || length < 0 ? 0 : static_cast<size_t>(length));
    return text;
}

// The symbol is loaded at the first item drawn and kept, its size always taken from
// it: loaded for every item, it asked this platform's display driver several times an
// item, and a page of items cost more than examining a hundred files.
static HBITMAP ListItemSymbol()
{
    static const GdiObject<HBITMAP> symbol(
        LoadBitmapA(QemGetInstHandle(), MAKEINTRESOURCEA(QEM_IDB_LIST_ITEM)));
    return symbol.Get();
}

int DrawResultItem(const DRAWITEMSTRUCT& item)
{
    std::string text = ItemText(item.hwndItem, item.itemID);
    if (text.empty())
        return 0;
    HDC dc = item.hDC;
    const RECT& rect = item.rcItem;

    const HBITMAP symbol = ListItemSymbol();
    BITMAP info{};
    if (!symbol || !GetObjectA(symbol, sizeof info, &info))
        info.bmWidth = info.bmHeight = 0;
    const int bw = info.bmWidth, bh = info.bmHeight;

    RECT textRect = rect;
    SetBkMode(dc, TRANSPARENT);
    FillRect(dc, &textRect, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    if (symbol)
    {
        MemoryDC memory(dc);
        SelectedObject selected(memory.Get(), symbol);
        BitBlt(dc, rect.left, rect.top + (rect.bottom - rect.top - bh) / 2, bw, bh, memory.Get(), 0, 0,
               SRCCOPY);
    }
    textRect.left += bw + 4;

    // Only the display changes case: the item keeps the case that Delete and Save see.
    if (g_lowerCaseNames)
        for (char& c : text)
            c = LowerAscii(c);
    // No prefix processing: "&" is a legal character of a short name, not a mnemonic.
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);

    // The selection is a band from the symbol's right edge; the symbol stays as it is.
    if (item.itemState & ODS_SELECTED)
    {
        RECT band = rect;
        band.left += bw;
        InvertRect(dc, &band);
    }
    return 1;
}
