// Display Version Information: what the pane under the result list shows of the
// current file, its version record and what links to it.
#include <windows.h>

#include <string>
#include <vector>

#include "engine/link_graph.h"
#include "engine/name_list.h"
#include "engine/path_parts.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/gdi_handles.h"
#include "platform/qemcom95.h"
#include "results/results.h"

// The current item is the one with the caret. (Windows answers LB_GETCURSEL with it on
// a list of extended selection; Wine answers with another item once the keyboard and
// the mouse have both moved the selection.) A caret left past the end by a deletion
// marks no item.
static LRESULT CurrentItem(HWND resultList)
{
    const LRESULT count = SendMessageA(resultList, LB_GETCOUNT, 0, 0);
    const LRESULT caret = SendMessageA(resultList, LB_GETCARETINDEX, 0, 0);
    return count > 0 && caret >= 0 && caret < count ? caret : LB_ERR;
}

bool ReadCurrentResult(HWND resultList, LRESULT& index, std::string& path)
{
    index = CurrentItem(resultList);
    if (index == LB_ERR)
        return false;
    const LRESULT length = SendMessageA(resultList, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR)
        return false;
    path.assign(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(resultList, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(path.data()));
    path.resize(static_cast<size_t>(length));
    return true;
}

// A scan under way has not yet seen all that links, and has not listed what it shows.
void AddLinkedFromLine(HWND versionList, const std::string& path)
{
    const LinkedFile* file = FindLinkedFile(path);
    if (g_scanning || !file || !file->accepted)
        return;
    std::vector<std::string> libraries;
    bool allListed = true;
    for (const LinkedFile* library : LinkingLibraries(path))
    {
        // A link other than an import says how it links.
        const LinkKind kind = KindOfLibraryLink(*library, path);
        libraries.push_back(ShownName(library->shortPath) +
                            (kind == LinkKind::Import ? "" : std::string(" (") + LinkKindName(kind) + ")"));
        allListed = allListed && IsListed(library->shortPath);
    }
    RECT client;
    GetClientRect(versionList, &client);
    // The library draws a line without a tab from a small margin on each side.
    const int width = client.right - client.left - 8;
    WindowDC dc(versionList);
    SelectedObject font(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageA(versionList, WM_GETFONT, 0, 0)));
    // Named only when nothing read links to the file.
    std::vector<std::string> unreadFiles;
    if (libraries.empty())
        for (const std::string& unread : FilesWithUnreadImportTables())
            unreadFiles.push_back(ShownName(unread));
    auto fits = [&](const std::string& text) {
        SIZE extent = {};
        GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
        return extent.cx <= width;
    };
    // A registry value that names a listed file says more than what links to it.
    const std::string line = RegistryValueOf(*file).empty()
                                 ? FormatLinkedFromLine(libraries, allListed, unreadFiles, fits)
                                 : FormatRegistryNamedLine(RegistryValueOf(*file), fits);
    SendMessageA(versionList, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(line.c_str()));
}

// The pane names the file it shows: after a Ctrl+click the current file need not be
// a highlighted one.
void ShowVersionRecord(HWND versionList, const std::string& path)
{
    QemUpdateVerListbox(versionList, path.c_str());
    const std::string line = "File:\t" + ShownName(path);
    SendMessageA(versionList, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

// With 64-bit DLLs included the list holds files of both widths: each says which it is.
static void AddMachineLine(HWND versionList, const std::string& path)
{
    const int bits = g_scanInputs.scan64 ? FileBits(path) : 0;
    if (bits <= 0)
        return;
    const std::string line = bits == 64 ? "Machine:\tx64 (64-bit)" : "Machine:\tx86 (32-bit)";
    SendMessageA(versionList, LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>(line.c_str()));
}

void ShowVersionInformation(HWND versionList, const std::string& path)
{
    // The file the scan saw by that name, not its 32-bit namesake.
    RedirectionOff unredirected(g_scanInputs.scan64);
    ShowVersionRecord(versionList, path);
    AddMachineLine(versionList, path);
    AddLinkedFromLine(versionList, path);
}
