// The maker's common library: the fourteen operations Orvenna takes from qemcom95.dll.
#pragma once

#include <windows.h>

#ifdef QEMCOM95_BUILD
#define QEMAPI __declspec(dllexport) WINAPI
#else
#define QEMAPI __declspec(dllimport) WINAPI
#endif

// Product indexes: the last argument of the registry calls, the third of QemOpenFileDlg.
enum
{
    QEM_PRODUCT_WINZIP = 4,
    QEM_PRODUCT_TAMBRIL = 7,
    QEM_PRODUCT_QUORSET = 8,
    QEM_PRODUCT_ORVENNA = 9,
};

// Answers of QemGetExeType. Only QEM_EXE_PE32 is relied on by callers.
enum
{
    QEM_EXE_NONE = 0,        // not an executable, or unreadable
    QEM_EXE_DOS = 5100,      // plain MS-DOS program
    QEM_EXE_NE = 5101,       // 16-bit Windows (New Executable)
    QEM_EXE_PE32 = 5102,     // 32-bit Portable Executable
    QEM_EXE_PE32PLUS = 5104, // 64-bit Portable Executable
    QEM_EXE_OTHER = 5105,    // MZ stub with another new-header format (LE, LX, unknown)
};

// QemSaveFileDlg kinds.
enum
{
    QEM_SAVE_LIST = 0,
    QEM_SAVE_ARCHIVE = 1,
};

// Message numbers of QemError and QemInfo.
enum
{
    QEM_ERR_NO_ACCELERATORS = 5,
    QEM_ERR_TAMBRIL_START = 3001,
    QEM_ERR_QUORSET_START = 3003,
    QEM_ERR_SCAN_OPEN = 6004,
    QEM_ERR_OUTPUT_OPEN = 6013,
    QEM_ERR_CHILD_WINDOWS = 6017,
    QEM_ERR_WINZIP_START = 6018,
    QEM_INFO_NO_EXTENSION = 21,
    QEM_INFO_NO_CURRENT_FILE = 6003,
    QEM_INFO_NO_SELECTION = 6014,
    QEM_INFO_NO_CLOSE_SCANNING = 6019,
};

// Resources of the library's own module (QemGetInstHandle).
enum
{
    QEM_IDM_VERSION_PANE = 228,  // version-list context menu
    QEM_IDM_VERSION_LIST = 277,  // version-list context menu, second form
    QEM_IDM_CLOSE_VERSION = 279, // item of menu 228 that closes the version pane
    QEM_IDB_LIST_ITEM = 5103,    // symbol drawn before every result-list item
};

// Record of QemAboutBox.
typedef struct QEMABOUT
{
    HWND owner;
    int number; // 103: the product's about record
    char title[80];
    LPCSTR text;
} QEMABOUT;

#ifdef __cplusplus
extern "C"
{
#endif

    // Registry by product and section. size 0: a one-byte number; size n: a string of at
    // most n bytes, written without terminator. An absent value leaves the buffer as is.
    int QEMAPI QemReadRegEntry(LPCSTR section, LPCSTR valueName, LPVOID buffer, int size, int product);
    int QEMAPI QemSaveRegEntry(LPCSTR section, LPCSTR valueName, LPCVOID data, int size, int product);

    int QEMAPI QemGetExeType(LPCSTR path);
    // Writes the short (8.3) form of path into out (MAX_PATH bytes); the input unchanged
    // where the platform has none.
    int QEMAPI QemGetDOSFileName(LPCSTR path, LPSTR out);
    // date and time: 20-byte buffers. Nonzero with *size set, or 0.
    int QEMAPI QemGetDateTimeSize(LPCSTR path, LPSTR date, LPSTR time, DWORD* size);

    int QEMAPI QemOpenFileDlg(HWND owner, LPSTR path, int product);
    int QEMAPI QemSaveFileDlg(HWND owner, LPSTR path, int kind);

    void QEMAPI QemError(int number);
    void QEMAPI QemInfo(int number);
    void QEMAPI QemAboutBox(const QEMABOUT* about);
    void QEMAPI QemCenterWindow(HWND window);

    void QEMAPI QemUpdateVerListbox(HWND list, LPCSTR path);
    void QEMAPI QemDrawVerListBox(const DRAWITEMSTRUCT* item);
    HINSTANCE QEMAPI QemGetInstHandle(void);

#ifdef __cplusplus
}
#endif
