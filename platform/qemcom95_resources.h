// Identifiers of the library's own resources, as the resource compiler needs them: plain
// macros. The public numbers repeat those that qemcom95.h names for callers (checked
// against them in qemcom95.cpp); the message texts are string-table entries under their
// message numbers.
#pragma once

// Public: menus and their items, the list-item bitmap
#define QEM_RC_MENU_VERSION_PANE 228
#define QEM_RC_MENU_VERSION_LIST 277
#define QEM_RC_CMD_CLOSE_VERSION 279
#define QEM_RC_CMD_SHOW_VERSION 830
#define QEM_RC_BITMAP_LIST_ITEM 5103

// Message numbers, whose texts the string table holds
#define QEM_RC_MSG_NO_ACCELERATORS 5
#define QEM_RC_MSG_NO_EXTENSION 21
#define QEM_RC_MSG_TAMBRIL_START 3001
#define QEM_RC_MSG_QUORSET_START 3003
#define QEM_RC_MSG_NO_CURRENT_FILE 6003
#define QEM_RC_MSG_SCAN_OPEN 6004
#define QEM_RC_MSG_OUTPUT_OPEN 6013
#define QEM_RC_MSG_NO_SELECTION 6014
#define QEM_RC_MSG_CHILD_WINDOWS 6017
#define QEM_RC_MSG_WINZIP_START 6018
#define QEM_RC_MSG_NO_CLOSE_SCANNING 6019

// Dialogs
#define QEM_IDD_ABOUT 100

// Controls of the about box
#define QEM_IDC_ABOUT_ICON 101
#define QEM_IDC_ABOUT_TEXT 102

// Strings (clear of every message number)
#define QEM_IDS_CAPTION 9000
#define QEM_IDS_UNKNOWN_ERROR 9001
#define QEM_IDS_UNKNOWN_NOTICE 9002
#define QEM_IDS_NO_VERSION 9010
#define QEM_IDS_FILE_NOT_FOUND 9011
#define QEM_IDS_FILE_VERSION 9020
#define QEM_IDS_PRODUCT_VERSION 9021
#define QEM_IDS_COMPANY 9022
#define QEM_IDS_DESCRIPTION 9023
#define QEM_IDS_COPYRIGHT 9024
#define QEM_IDS_ORIGINAL_NAME 9025
#define QEM_IDS_LANGUAGE 9026
