// Every identifier of Orvenna's resources and controls, with its fixed number.
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

// Commands
#define IDM_DISPLAY_VERSION 830
#define IDM_CHECK_FUNCTION_CALLS 832
#define IDM_START 914
#define IDM_STOP 915
#define IDM_SET_FILTERS 916
#define IDM_SELECT_ALL 917
#define IDM_SELECT_NONE 918
#define IDM_QUICK_SCAN 919
#define IDM_SAVE_LIST 920
#define IDM_BACKUP 921
#define IDM_DELETE 922
#define IDM_CHECK_LINKS 940
