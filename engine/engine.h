// The scan engine, by the file that defines each operation. The name lists
// (name_list.h), the import reader (import_reader.h) and the reference scanner
// (reference_scanner.h) have headers of their own; the shared state is in
// scan_state.h.
#pragma once

#include <windows.h>

#include "engine/scan_inputs.h"

// module_resolution.cpp
// Positions in the module extension table.
enum
{
    MODULE_DLL = 0,
    MODULE_DRV,
    MODULE_SYS,
    MODULE_EXE,
    MODULE_OCX,
    MODULE_VBX,
};
// A name with one of the six extensions: that extension's position. Any other name,
// dotted or bare: looked up along the module search path with each extension in turn;
// at the first file found the name becomes that file's short full path and the answer
// is the position, else -1.
int ResolveModule(char (&name)[MAX_PATH]);
// While a scan runs, what the program's directory and the fixed search directories
// hold under each name is looked up once; this forgets it.
void ForgetModuleLookups();

// directory_walk.cpp
// Walks drive (1 = A) depth-first. 1 when the whole drive was walked, 0 when it could
// not be entered, the scan was stopped or the user gave up after an error.
int WalkDrive(HWND mainWindow, int drive);

// file_examination.cpp
// 0 when done or stopped, -1 when the current directory could not be entered again.
int ScanPattern(HWND mainWindow, int kind, const char* pattern);
void ExamineFile(HWND mainWindow, const char* path, int kind);
void FileLinks(HWND mainWindow, int kind);

// scan_driver.cpp
// 1 when the scan ran to its end, 0 when it was stopped.
int RunScan(HWND mainWindow);
// The phases after the drive phase, for tests that walk one drive at a time. The
// cross-check answers 1 when it ran to its end, 0 when it was stopped.
int CrossCheckLinks();
void RemoveSharedDlls();
// Around RunScan, for every front end: BeginScan takes the user's choices for this
// scan, empties the result list, shows the first phase and sets the scanning flag; EndScan clears the flag
// and the hidden lists. EndScan is also the stop request, made from inside the scan's own pump step: the
// scan's loops notice the cleared flag and return.
void BeginScan(const ScanInputs& inputs);
void EndScan();
