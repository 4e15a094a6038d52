#include "shell/layout.h"

#include <algorithm>

int ToolbarHeight(const LayoutInput& input)
{
    return input.toolbar ? kToolbarHeight : 0;
}

int StatusBarHeight(const LayoutInput& input)
{
    if (!input.statusBar)
        return 0;
    return input.screenWidth > 800 ? kStatusBarHeightWide : kStatusBarHeightNarrow;
}

MainLayout ComputeLayout(const LayoutInput& input)
{
    const int w = input.clientWidth, h = input.clientHeight, tmH = input.textHeight;
    const int T = ToolbarHeight(input), B = StatusBarHeight(input);
    MainLayout layout;
    layout.toolbar = {0, 0, w, T};
    layout.statusBar = {0, h - B, w, B};

    // The status line sits 7 pixels under the toolbar, or 8 under the window's top
    // edge, and the lists 4 pixels under it; the margins leave room for the frames.
    int top = T == 0 ? kChildMargin : T + 7;
    const int width = w - 2 * kChildMargin;
    layout.statusLine = {kChildMargin, top, width, tmH};
    top += tmH + 4;

    if (!input.versionPane)
    {
        layout.resultList = {kChildMargin, top, width, std::max(0, h - (tmH + T + B + 20))};
        return layout;
    }
    // The pane splits the space: the result list keeps 6 text lines more than the
    // version list, with 4 pixels between them. The division truncates toward zero.
    const int half = (h - (tmH + T + B + 24)) / 2;
    const int resultHeight = 3 * tmH + half;
    layout.resultList = {kChildMargin, top, width, std::max(0, resultHeight)};
    top += resultHeight + 4;
    layout.versionList = {kChildMargin, top, width, std::max(0, half - 3 * tmH)};
    return layout;
}

int MinimumClientHeight(const LayoutInput& input)
{
    const int tmH = input.textHeight;
    return tmH + ToolbarHeight(input) + StatusBarHeight(input) + 24 + 8 * tmH;
}
