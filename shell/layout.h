// Where the main window's children go for a client size: the arithmetic of every
// resize, kept apart from the windows so that it is tested to the pixel natively.
// Portable: no windows.h.
#pragma once

// A child's place in the main window's client area.
struct ChildPlace
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// What a layout depends on besides the client size.
struct LayoutInput
{
    int clientWidth = 0;
    int clientHeight = 0;
    int textHeight = 0;  // tmHeight of the default font on the status line's device context
    int screenWidth = 0; // SM_CXSCREEN: a wider screen gets a taller status bar
    bool toolbar = true;
    bool statusBar = true;
    bool versionPane = false;
};

struct MainLayout
{
    ChildPlace toolbar;    // also placed while hidden, with height 0
    ChildPlace statusBar;  // likewise
    ChildPlace statusLine; // the scan's phase texts and the summary line
    ChildPlace resultList;
    ChildPlace versionList; // meaningful only with the version pane
};

inline constexpr int kToolbarHeight = 27;
inline constexpr int kStatusBarHeightWide = 24;   // screens wider than 800 pixels
inline constexpr int kStatusBarHeightNarrow = 20; // 800 pixels and less
inline constexpr int kChildMargin = 8;

int ToolbarHeight(const LayoutInput& input);
int StatusBarHeight(const LayoutInput& input);

// A client area too small for the lists gives them height 0 rather than a negative
// one, which the window manager would clamp to 0 anyway.
MainLayout ComputeLayout(const LayoutInput& input);

// The least client height that leaves the result list eight text lines, or with the
// version pane seven and the pane one.
int MinimumClientHeight(const LayoutInput& input);
