#include "engine/scan_state.h"

unsigned char g_scanning = 0;
unsigned char g_quickScan = 1;
unsigned char g_readImportDirectories = 0;
int g_importTablesOutsideIdata = 0;
int g_unreadEntries = 0;

NameList g_resultList;
NameList g_validLinks;
NameList g_pendingLinks;
NameList g_fileRefs;
NameList g_textRefs;

ImportReading ChosenImportReading()
{
    return g_readImportDirectories ? ImportReading::ImportDirectories : ImportReading::IdataSection;
}
