// The open dialog that locates a program, and the save dialog for lists and archives:
// QemOpenFileDlg, QemSaveFileDlg.
#include "platform/qem_internal.h"
#include "platform/qemcom95.h"

#include <commdlg.h>

#include <cstring>

namespace
{

struct DialogKind
{
    int kind;
    const char* title;
    // Pairs of display text and pattern, each ending in '\0', the list in another.
    const char* filter;
    const char* defaultExtension;
};

constexpr char kProgramsFilter[] = "Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0";

constexpr DialogKind kLocateKinds[] = {
    {QEM_PRODUCT_WINZIP, "Locate WinZip",
     "WinZip (winzip32.exe, winzip.exe)\0winzip32.exe;winzip.exe\0Programs (*.exe)\0*.exe\0All files "
     "(*.*)\0*.*\0",
     "exe"},
    {QEM_PRODUCT_TAMBRIL, "Locate Tambril",
     "Tambril (tambril.exe)\0tambril.exe\0Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0", "exe"},
    {QEM_PRODUCT_QUORSET, "Locate Quorset",
     "Quorset (quorset.exe)\0quorset.exe\0Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0", "exe"},
};

constexpr DialogKind kSaveKinds[] = {
    {QEM_SAVE_LIST, "Save List As",
     "List files (*.lst)\0*.lst\0Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0", "lst"},
    {QEM_SAVE_ARCHIVE, "Back Up to Archive", "ZIP archives (*.zip)\0*.zip\0All files (*.*)\0*.*\0", "zip"},
};

template <size_t N> const DialogKind* FindKind(const DialogKind (&kinds)[N], int kind)
{
    for (const DialogKind& entry : kinds)
    {
        if (entry.kind == kind)
            return &entry;
    }
    return nullptr;
}

using FileDialogFunction = BOOL(WINAPI*)(LPOPENFILENAMEA);

// The dialog library brings a score of others (the shell, COM) into every process that
// loads it, the console scanner's included, and each costs its start time; it is
// loaded only when a dialog is asked for.
FileDialogFunction FindFileDialog(bool save)
{
    static const HMODULE library = LoadLibraryA("comdlg32.dll");
    if (!library)
        return nullptr;
    FARPROC found = GetProcAddress(library, save ? "GetSaveFileNameA" : "GetOpenFileNameA");
    // Through void (*)(void), which converts to any function type without a warning.
    return reinterpret_cast<FileDialogFunction>(reinterpret_cast<void (*)()>(found));
}

// Runs the dialog on a copy of the caller's MAX_PATH buffer, which changes only when a
// file was chosen. OFN_NOCHANGEDIR matters: a companion tool may be located while a
// scan runs, and the scan's cross-check works from the process's current directory.
int RunFileDialog(HWND owner, LPSTR path, const DialogKind& kind, DWORD flags, bool save)
{
    if (!path)
        return 0;
    char chosen[MAX_PATH];
    size_t length = strnlen(path, sizeof chosen - 1);
    std::memcpy(chosen, path, length);
    chosen[length] = '\0';

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kind.filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = sizeof chosen;
    dialog.lpstrTitle = kind.title;
    dialog.lpstrDefExt = kind.defaultExtension;
    dialog.Flags = flags | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_EXPLORER;

    FileDialogFunction run = FindFileDialog(save);
    if (!run || !run(&dialog))
        return 0;
    std::memcpy(path, chosen, std::strlen(chosen) + 1);
    return 1;
}

} // namespace

int WINAPI QemOpenFileDlg(HWND owner, LPSTR path, int product)
{
    static constexpr DialogKind kAnyProgram = {0, "Locate Program", kProgramsFilter, "exe"};
    const DialogKind* kind = FindKind(kLocateKinds, product);
    return RunFileDialog(owner, path, kind ? *kind : kAnyProgram, OFN_FILEMUSTEXIST, false);
}

int WINAPI QemSaveFileDlg(HWND owner, LPSTR path, int kind)
{
    const DialogKind* found = FindKind(kSaveKinds, kind);
    if (!found)
        return 0;
    // WinZip adds to an archive that exists, so only a list file is worth a warning.
    DWORD flags = kind == QEM_SAVE_LIST ? OFN_OVERWRITEPROMPT : 0;
    return RunFileDialog(owner, path, *found, flags, true);
}
