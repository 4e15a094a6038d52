#include "shell/shell.h"

#include "resources/resource.h"

HINSTANCE g_instance = nullptr;
HWND g_versionListWindow = nullptr;
bool g_versionPaneShown = false;
bool g_listFocusOnResults = true;
WORD g_lastMenuItem = 0;
GdiObject<HFONT> g_interfaceFont;
GdiObject<HBITMAP> g_backgroundBitmap;
GdiObject<HBRUSH> g_backgroundBrush;

void ShowIdleBanner()
{
    char banner[150] = {};
    LoadStringA(g_instance, IDS_IDLE_BANNER, banner, sizeof banner);
    SetStatusText(banner);
}

void ReleaseDrawingObjects()
{
    g_backgroundBrush.Reset();
    g_backgroundBitmap.Reset();
    g_interfaceFont.Reset();
}
