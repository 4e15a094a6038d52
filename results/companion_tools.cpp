// Check Function Calls and Check Links to Other Modules: the current file handed to
// one of the two companion programs on its command line.
#include <windows.h>

#include <string>

#include "platform/qemcom95.h"
#include "results/command_line.h"
#include "results/results.h"

namespace
{

struct CompanionTool
{
    LocatedProgram program; // its location kept in the tool's own key
    int startError;         // shown when the located program does not start
};

constexpr CompanionTool kFunctionCallChecker = {
    {"Location", "Path", QEM_PRODUCT_TAMBRIL, "TAMBRIL.EXE", QEM_PRODUCT_TAMBRIL, "tambril.exe"},
    QEM_ERR_TAMBRIL_START};
constexpr CompanionTool kLinkChecker = {
    {"Location", "Path", QEM_PRODUCT_QUORSET, "QUORSET.EXE", QEM_PRODUCT_QUORSET, "quorset.exe"},
    QEM_ERR_QUORSET_START};

void RunCompanionTool(HWND mainWindow, const CompanionTool& tool)
{
    if (SendMessageA(g_resultListWindow, LB_GETCOUNT, 0, 0) <= 0)
        return;
    LRESULT current = LB_ERR;
    std::string file;
    if (!ReadCurrentResult(g_resultListWindow, current, file))
    {
        QemInfo(QEM_INFO_NO_CURRENT_FILE);
        return;
    }

    // "%s %s": the tool's location (or bare name) and the file.
    const int started = StartLocatedProgram(mainWindow, tool.program, [&](const char* location) {
        return QuoteIfBlank(location) + ' ' + QuoteIfBlank(file.c_str());
    });
    if (started == -1)
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
