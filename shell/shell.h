// The application shell: start-up and the main loop, the main window procedure and
// its commands, the child windows and their layout. The pump step and the status
// texts are in feedback/feedback.h; the layout arithmetic is in layout.h, the
// commands' grey rules in command_states.h, the start-up decisions in start_options.h.
#pragma once

#include <windows.h>

#include "feedback/feedback.h"
#include "platform/gdi_handles.h"
#include "resources/help_file.h"

// shell_state.cpp: the window's state, on the one GUI thread.
extern HINSTANCE g_instance;      // module of every resource load
extern HWND g_versionListWindow;  // list box 353, filled by the common library
extern bool g_versionPaneShown;   // the version list is shown under the result list
extern bool g_listFocusOnResults; // where Tab puts the focus: result list, else version list
extern WORD g_lastMenuItem;       // last highlighted menu item: the help context of F1
// Drawing objects, made in WM_CREATE and released in WM_CLOSE.
extern GdiObject<HFONT> g_interfaceFont;      // bold face of the lists, status line, status bar
extern GdiObject<HBITMAP> g_backgroundBitmap; // tile 150
extern GdiObject<HBRUSH> g_backgroundBrush;   // pattern brush of tile 150
// The idle banner (string 9), for the status bar when it has nothing else to say.
void ShowIdleBanner();
// Releases the interface font and the background's bitmap and brush.
void ReleaseDrawingObjects();

// startup.cpp
// Registers the main class; a failure shows up as a failed window creation.
void RegisterMainClass();
// Start-up up to the shown window: class, window, placement, command line. Null when
// the window could not be created.
HWND OpenMainWindow(HINSTANCE instance, const char* commandLine, int showCode);
// Until WM_QUIT, whose wParam it answers; the toolbar is refreshed whenever the queue
// is empty. accelerators may be null.
int RunMessageLoop(HWND mainWindow, HACCEL accelerators);
// The whole program: start-up, shortcuts, the loop.
int RunOrvenna(HINSTANCE instance, const char* commandLine, int showCode);

// main_window.cpp
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// child_windows.cpp
// The bold interface font; null when no font could be made.
HFONT CreateInterfaceFont();
// 1 when every child exists, 0 as soon as one could not be made.
int CreateChildWindows(HWND mainWindow);
void LayoutChildren(HWND mainWindow, int width, int height);
// The smallest size the user can drag the window to: the menu bar on one line, and a
// list that shows a few lines.
void LimitTrackingSize(HWND mainWindow, MINMAXINFO& info);
// Lays the children out again for the current client size.
void RelayoutMainWindow(HWND mainWindow);
void CloseVersionPane(HWND mainWindow);
// Command 830: opens the version pane on the current file, or closes it. With no
// current file, message 6003 and the pane stays closed.
void ToggleVersionPane(HWND mainWindow);
// Answers the toolbar's request for a tip (TTN_NEEDTEXTA or W).
void SupplyToolTipText(NMHDR* header);

// paint.cpp
// The patterned background, a raised edge round the client area and a sunken frame
// round every visible list and static text.
void PaintMainWindow(HWND mainWindow);

// menus.cpp
// Check marks and grey states of a popup about to open.
void UpdateMenuStates(HMENU menu);
// WM_MENUSELECT: the item's hint with a full stop, or the idle banner.
void ShowMenuHint(WORD item);
// WM_ENTERIDLE: F1 held in a menu asks the help for the highlighted item.
void HelpOnMenuItem(HWND mainWindow, WPARAM reason);
// Command 1074: the context menu of the list under point (client coordinates).
void ShowContextMenu(HWND mainWindow, LPARAM point);

// list_commands.cpp
// WM_VKEYTOITEM of either list: Enter, Tab and F1, before the list's own handling.
void HandleListKey(HWND mainWindow, WORD key);
// Command 351: the result list's selection change and double click.
void HandleResultListNotice(HWND mainWindow, WORD code);
void SelectAllResults(bool select);
void CloseVersionPaneByMenu(HWND mainWindow);
void ResetResultListExtent();
// Command 1037: "/S" starts a scan once the message loop runs.
void AcceptCommandLine(HWND mainWindow, const char* line);

// scan_commands.cpp
void StartScan(HWND mainWindow);
void StopScan(HWND mainWindow);
// While a stopped scan is still on the stack, Start, Delete, Save List As, Backup, Set
// Filters and a close wait for it: true when message is kept, to come round again once
// the scan has returned.
bool DeferWhileStoppedScanUnwinds(UINT message, WPARAM wParam, LPARAM lParam);

// toolbar_states.cpp
// The enabled states of the buttons, from the scanning flag and the result list's
// count: at every pump step and whenever the message loop's queue is empty.
void RefreshToolbarStates();

// preference_commands.cpp
void ToggleQuickScan();
void ToggleModernLinks();
// Include 64-bit DLLs: a scan takes it when it starts.
void ToggleScan64Bit();
void ToggleToolTips();
void ToggleSaveOnExit();
void ToggleRecycleBin();
void ToggleLowerCase();
void ToggleToolbar(HWND mainWindow);
void ToggleStatusBar(HWND mainWindow);

// help_commands.cpp (the help file itself: help_file.h)
void ShowHelpContents(HWND mainWindow);
void SearchHelp(HWND mainWindow);
void ShowHelpOnHelp(HWND mainWindow);
void ShowAboutBox(HWND mainWindow);
