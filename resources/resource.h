// Every identifier of Orvenna's resources and controls, with its fixed number. Plain
// macros: the resource compiler reads this file too. Help context numbers are the
// command identifiers.
#pragma once

// Controls
#define IDC_VALID_LINKS 288
#define IDC_FILE_REFERENCES 289
#define IDC_PENDING_LINKS 290
#define IDC_TEXT_REFERENCES 291
#define IDC_STATUS_LINE 350
#define IDC_RESULT_LIST 351
#define IDC_VERSION_LIST 353
#define IDC_TOOLBAR 532
#define IDC_STATUS_BAR 589

// Controls of the Filters dialog (5010); its push buttons keep the numbers 1 to 6
#define IDC_FILTER_ADD 3
#define IDC_FILTER_DELETE 4
#define IDC_FILTER_HELP 5
#define IDC_FILTER_DEFAULTS 6
#define IDC_FILTER_LIST 2012
#define IDC_FILTER_EXTENSION 2013
#define IDC_FILTER_OTHER 2027
#define IDC_FILTER_EXECUTABLE 2028

// Controls of the Save List As dialog (5012)
#define IDC_SAVE_LIST_HELP 3
#define IDC_SAVE_LIST_SELECTED 2016
#define IDC_SAVE_PREFIX 2018
#define IDC_SAVE_SUFFIX 2019
#define IDC_SAVE_LIST_ALL 2020

// Commands: menus, toolbar and shortcuts
#define IDM_EXIT 819
#define IDM_DISPLAY_VERSION 830
#define IDM_CHECK_FUNCTION_CALLS 832
#define IDM_SHOW_TOOLBAR 837
#define IDM_SHOW_STATUS_BAR 838
#define IDM_LOWER_CASE 851
#define IDM_SHOW_TOOL_TIPS 854
#define IDM_SAVE_ON_EXIT 855
#define IDM_SAVE_NOW 856
#define IDM_HELP_CONTENTS 870
#define IDM_HELP_SEARCH 871
#define IDM_HELP_ON_HELP 872
#define IDM_ABOUT 873
#define IDM_START 914
#define IDM_STOP 915
#define IDM_SET_FILTERS 916
#define IDM_SELECT_ALL 917
#define IDM_SELECT_NONE 918
#define IDM_QUICK_SCAN 919
#define IDM_SAVE_LIST 920
#define IDM_BACKUP 921
#define IDM_DELETE 922
#define IDM_MODERN_LINKS 923
#define IDM_RECYCLE 924
#define IDM_SCAN_64_BIT 926
#define IDM_CHECK_LINKS 940

// Commands that no menu of this program issues
#define IDM_CLOSE_VERSION 279 // item of the common library's version-pane menu 228
#define IDM_RESET_EXTENT 1025 // LB_SETHORIZONTALEXTENT 0 on the result list
#define IDM_COMMAND_LINE 1037 // sent by start-up, lParam the command line
#define IDM_CONTEXT_MENU 1074 // posted for a right click, lParam the client point

// Menus
#define IDR_MAIN_MENU 200
#define IDR_CONTEXT_MENU 876

// Accelerator tables
#define IDR_ACCELERATORS 120

// Dialogs (the about box is the common library's; 103 is its record number)
#define IDD_ABOUT 103
#define IDD_FILTERS 5010
#define IDD_SAVE_LIST 5012

// Icons
#define IDI_ORVENNA 100

// Bitmaps
#define IDB_TOOLBAR 149    // eight 16x16 button images, 16 colours
#define IDB_BACKGROUND 150 // 8x8 tile of the main window's background

// Strings; the status-bar hints are stored under their commands' numbers
#define IDS_CLASS_NAME 4
#define IDS_TITLE 8
#define IDS_IDLE_BANNER 9
