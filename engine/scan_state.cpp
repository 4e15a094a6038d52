#include "engine/scan_state.h"

#include "engine/path_parts.h"
#include "platform/ascii_case.h"

unsigned char g_scanning = 0;
static const unsigned char kOn = 1, kOff = 0;
ScanInputs g_scanInputs{{}, &kOn, &kOff};
UnreadLinkCounts g_unreadLinks;
unsigned g_walkedDrives = 0;
unsigned g_hostRootDrives = 0;
int g_unreadEntries = 0;
int g_leftOut64BitDlls = 0;
int g_namingBits = 0;

NameList g_resultList;
NameList g_validLinks;
NameList g_pendingLinks;
NameList g_fileRefs;
NameList g_textRefs;

bool IsListed(std::string_view shortPath)
{
    const int k = FindPrefix(g_resultList, shortPath);
    return k != -1 && EqualsIgnoringCase(NameAt(g_resultList, k), shortPath);
}

bool QuickScan()
{
    return *g_scanInputs.quickScan != 0;
}

ImportReading ChosenImportReading()
{
    return *g_scanInputs.modernLinks ? ImportReading::ImportDirectories : ImportReading::IdataSection;
}

ExeReading ChosenExeReading()
{
    return {ChosenImportReading(), g_scanInputs.scan64};
}

ProgramNames ChosenProgramNames()
{
    return *g_scanInputs.modernLinks ? ProgramNames::AlsoLongAndWide : ProgramNames::EightCharacters;
}
