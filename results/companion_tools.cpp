// Check Function Calls and Check Links to Other Modules: the current file handed to
// one of the two companion programs on its command line.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/qemcom95.h"
#include "resources/resource.h"
#include "results/command_line.h"
#include "results/results.h"

namespace
{

struct CompanionTool
{
    const char* program;   // tried first, along the program search path
    const char* suggested; // offered by the locate dialog
    int product;           // registry key and locate-dialog kind
    int startError;        // shown when the located program does not start
};

constexpr CompanionTool kFunctionCallChecker = {"TAMBRIL.EXE", "tambril.exe", QEM_PRODUCT_TAMBRIL,
                                                QEM_ERR_TAMBRIL_START};
constexpr CompanionTool kLinkChecker = {"QUORSET.EXE", "quorset.exe", QEM_PRODUCT_QUORSET,
                                        QEM_ERR_QUORSET_START};

constexpr char kLocationSection[] = "Location";
constexpr char kLocationValue[] = "Path";

// "%s %s": the tool's location (or bare name) and the file. WinExec answers 32 or more
// when the program started; what it does then is its own.
bool StartTool(const char* location, const std::string& file)
{
    const std::string commandLine = QuoteIfBlank(location) + ' ' + QuoteIfBlank(file.c_str());
    return WinExec(commandLine.c_str(), SW_SHOWNORMAL) > 31;
}

void CopyName(char (&buffer)[MAX_PATH], const char* name)
{
    std::memset(buffer, 0, sizeof buffer);
    std::strncpy(buffer, name, sizeof buffer - 1);
}

void RunCompanionTool(HWND mainWindow, const CompanionTool& tool)
{
    HWND resultList = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    if (SendMessageA(resultList, LB_GETCOUNT, 0, 0) <= 0)
        return;
    LRESULT current = LB_ERR;
    std::string file;
    if (!ReadCurrentResult(resultList, current, file))
    {
        QemInfo(QEM_INFO_NO_CURRENT_FILE);
        return;
    }

    // One byte short of the buffer: a value of the full size would come without a
    // terminator, and the zeroed last byte supplies it.
    char location[MAX_PATH];
    CopyName(location, tool.program);
    QemReadRegEntry(kLocationSection, kLocationValue, location, MAX_PATH - 1, tool.product);
    if (StartTool(location, file))
        return;

    CopyName(location, tool.suggested);
    if (!QemOpenFileDlg(mainWindow, location, tool.product))
        return;
    QemSaveRegEntry(kLocationSection, kLocationValue, location, static_cast<int>(std::strlen(location)),
                    tool.product);
    if (!StartTool(location, file))
        QemError(tool.startError);
}

} // namespace

void CheckFunctionCalls(HWND mainWindow)
{
    RunCompanionTool(mainWindow, kFunctionCallChecker);
}

void CheckLinksToOtherModules(HWND mainWindow)
{
    RunCompanionTool(mainWindow, kLinkChecker);
}
