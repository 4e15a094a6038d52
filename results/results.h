// Results and file actions: the result list's summary and the actions on listed files.
#pragma once

#include <windows.h>

#include <cstdint>

#include "results/summary_format.h"

struct NameList;

// draw_result_item.cpp
// Draws one item of the result list for WM_DRAWITEM: the library's list-item symbol,
// then the name (in lower case while Show Lowercase File Names is on) on light grey;
// a selected item is inverted from the symbol's right edge on. 0 when the item has no
// text, and nothing is drawn.
int DrawResultItem(const DRAWITEMSTRUCT& item);

// summary_line.cpp
// The total size of the files the list names, in 64 bits: a modern machine's listed
// DLLs easily pass 4 GB. A file that can no longer be read counts for nothing.
int TotalListedBytes(const NameList& list, std::uint64_t& total);
// Writes the summary line of the result list into the status line.
void UpdateSummaryLine(HWND mainWindow);
// After RunScan: the summary line and " Done." for a finished scan; for an
// interrupted one " Scanning interrupted." and an empty result list.
void ReportScanEnd(HWND mainWindow, int finished);
