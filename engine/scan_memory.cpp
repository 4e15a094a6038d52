#include "engine/scan_memory.h"

ScanMemory g_scanMemory;

void ForgetScanMemory()
{
    g_scanMemory = ScanMemory{};
}
