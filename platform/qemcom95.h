// The maker's common library: the fourteen operations Orvenna takes from qemcom95.dll.
//
// The functions are stdcall and exported under their plain names (no @n suffix), so
// that a program built by any compiler can bind them by name.
#pragma once

#include <windows.h>

#ifdef QEMCOM95_BUILD
#define QEMAPI __declspec(dllexport) WINAPI
#else
#define QEMAPI __declspec(dllimport) WINAPI
#endif

// Product indexes: the last argument of the registry calls, the third of QemOpenFileDlg.
// Every product keeps its values under HKEY_LOCAL_MACHINE, one subkey per section:
//   9  Software\Tessaly Software Ltd\Orvenna\4.70
//   7  Software\Tessaly Software Ltd\Tambril
//   8  Software\Tessaly Software Ltd\Quorset
//   4  Software\Tessaly Software Ltd\WinZip
enum
{
    QEM_PRODUCT_WINZIP = 4,
    QEM_PRODUCT_TAMBRIL = 7,
    QEM_PRODUCT_QUORSET = 8,
    QEM_PRODUCT_ORVENNA = 9,
};
// Orvenna's key, which the program itself also makes sure exists at start-up.
#define QEM_ORVENNA_KEY "Software\\Tessaly Software Ltd\\Orvenna\\4.70"

// Answers of QemGetExeType. Only QEM_EXE_PE32 is relied on by callers.
enum
{
    QEM_EXE_NONE = 0,        // not an MZ executable, a directory, or unreadable
    QEM_EXE_DOS = 5100,      // MZ image without a recognised new header: plain MS-DOS program
    QEM_EXE_NE = 5101,       // 16-bit Windows or OS/2 (New Executable)
    QEM_EXE_PE32 = 5102,     // 32-bit Portable Executable
    QEM_EXE_PE32PLUS = 5104, // 64-bit Portable Executable
    QEM_EXE_OTHER = 5105,    // LE or LX image, or a PE signature without a known optional header
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

// Resources of the library's own module (QemGetInstHandle). Each menu holds one popup:
// load it, take submenu 0 and track that. Their items arrive at the owner as WM_COMMAND.
enum
{
    QEM_IDM_VERSION_PANE = 228,  // version-list context menu while the pane is shown
    QEM_IDM_VERSION_LIST = 277,  // version-list context menu while the pane is hidden
    QEM_IDM_CLOSE_VERSION = 279, // item of menu 228: close the version pane
    QEM_IDM_SHOW_VERSION = 830,  // item of menu 277: the owner's Display Version Information
    QEM_IDB_LIST_ITEM = 5103,    // 16x16 DLL symbol drawn before every result-list item
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

    // Registry by product and section; 1 when the value was read or written, else 0.
    // size 0: a one-byte number, stored as REG_BINARY of one byte; a REG_DWORD of 0 to
    // 255 is read too. size n: a text, stored as REG_SZ from the first n bytes of data
    // (up to a terminator, if one comes first); REG_SZ, REG_EXPAND_SZ and REG_BINARY are
    // read, at most n bytes up to the first terminator, followed by a terminator when
    // fewer than n bytes were read. An absent value, or one of another form, leaves the
    // buffer as preloaded.
    int QEMAPI QemReadRegEntry(LPCSTR section, LPCSTR valueName, LPVOID buffer, int size, int product);
    int QEMAPI QemSaveRegEntry(LPCSTR section, LPCSTR valueName, LPCVOID data, int size, int product);

    // Reads only the headers: the first bytes of the file and those at e_lfanew.
    int QEMAPI QemGetExeType(LPCSTR path);
    // Writes the short (8.3) form of path into out (MAX_PATH bytes) and returns 1; where the
    // platform has none (a missing file, a result too long), copies the input unchanged,
    // cut to MAX_PATH - 1 characters, and returns 0. out may be path itself. A component
    // whose 8.3 name another entry of its folder carries too is given by its long name,
    // so that the short path names one file.
    int QEMAPI QemGetDOSFileName(LPCSTR path, LPSTR out);
    // For a file: nonzero with *size set (4 GB or more reads as 0xFFFFFFFF) and the last
    // write time, local, as "YYYY-MM-DD" and "HH:MM:SS" in date and time (20 bytes each,
    // either may be null). 0 for a directory or a file that cannot be found.
    int QEMAPI QemGetDateTimeSize(LPCSTR path, LPSTR date, LPSTR time, DWORD* size);

    // path is a MAX_PATH buffer, changed only when a file was chosen (return nonzero).
    int QEMAPI QemOpenFileDlg(HWND owner, LPSTR path, int product);
    int QEMAPI QemSaveFileDlg(HWND owner, LPSTR path, int kind);

    // Message boxes captioned "Orvenna", owned by the caller's active window.
    void QEMAPI QemError(int number);
    void QEMAPI QemInfo(int number);
    void QEMAPI QemAboutBox(const QEMABOUT* about);
    // Centres a window on its owner, or on the work area when it has none.
    void QEMAPI QemCenterWindow(HWND window);

    // Version-list items are "Label:\tvalue" lines, or one plain line.
    void QEMAPI QemUpdateVerListbox(HWND list, LPCSTR path);
    void QEMAPI QemDrawVerListBox(const DRAWITEMSTRUCT* item);
    HINSTANCE QEMAPI QemGetInstHandle(void);

#ifdef __cplusplus
}
#endif
