// The scan engine, by the file that defines each operation. The name lists
// (name_list.h), the import reader (import_reader.h) and the reference scanner
// (reference_scanner.h) have headers of their own; the shared state is in
// scan_state.h.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/scan_inputs.h"

class PagedBytes;

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
// is the position. With the modern reading, an API set's name that no file bears is
// then looked up as its host (engine/api_set_schema.h). Else -1.
int ResolveModule(char (&name)[MAX_PATH]);
// A module as a program hands it to the loader by name, extension and all (a registry
// value's "x.drv"): looked up along the same search path, from the system directory,
// which already heads the fixed stretch. 1 when found, and name becomes the file's short
// full path; else 0.
int ResolveLoadedModule(char (&name)[MAX_PATH]);

// drive_choice.cpp
// Under Wine, whether drive (1 = A) is the host's root directory; never on Windows.
bool IsHostRootDrive(int drive);
// Whether the drive phase walks drive: a named one that is there, else a fixed one
// that is not the host's root; it notes which it walks and which it leaves out.
bool ChooseDriveToWalk(int drive);
// After a scan that left out a host root drive: "Left out Z:, the host's root under
// Wine"; empty otherwise.
std::string HostRootDrivesNote();
// The drives walked and those left out, as --drives takes them: "CDZ".
std::string DrivesWithHostRoots();

// side_by_side.cpp
// The short full paths of the files of every side-by-side assembly that the file at
// path (open as file) depends on by its manifests: its manifest resources and
// path.manifest beside it. Each assembly is found as the loader finds it: a private one
// in the file's folder (a DLL or manifest named after it, beside the file or in a
// subfolder of its name), else the store under the Windows directory (winsxs, its
// manifests in winsxs\manifests), at the version a publisher policy there redirects to.
std::vector<std::string> AssemblyFiles(const char* path, PagedBytes& bytes);
// The modern reading of a file's assemblies: their files go to the file reference list
// and become the activation context. bytes are the file's, as the import reader read them.
void FileAssemblies(const char* path, PagedBytes& bytes);
// Whether the file's manifests name an assembly, as FileAssemblies reads them, for a
// reading that does not follow them to count.
bool NamesAssemblies(const char* path, PagedBytes& bytes);
// While a file's names are resolved: its assemblies' files, which a bare name that
// one of them bears resolves to first, as the activation context makes the loader do.
void SetActivationContext(std::vector<std::string> files);
const std::string* ActivationContextFile(std::string_view fileName);

// managed_links.cpp
// The modern reading of a managed file at path (its bytes, as the import reader read them):
// its assembly references go to the file reference list as the files the runtime probes
// (the file's folder, a subfolder of the name or the culture, the privatePath of the
// folder's programs' .config files) and every version in the global assembly caches;
// its P/Invoke modules as module names; the modules of its File table as files beside it.
void FileManagedLinks(const char* path, PagedBytes& bytes);
// The .NET host's links by the file's name: dotnet.exe, or an application host (a
// program beside its NAME.runtimeconfig.json), to each host\fxr\VERSION\hostfxr.dll
// of its installation; hostfxr.dll to each shared\FRAMEWORK\VERSION\hostpolicy.dll.
void FileHostLinks(const char* path);
// The walk's directory's *.deps.json files: every DLL their runtime and native assets
// name in their folder becomes a valid link.
void ExamineDependencyFiles();

// registry_links.cpp
// Begins reading the module names of the registry's string values
// (engine/registry_names.h) on a thread of its own, beside the walk.
void BeginRegistryReading();
// After the walk: waits for the reading (begun here when it was not) and files what it
// found: each file a value names is recorded with the first value that names it
// (engine/link_graph.h), and with fileLinks it joins the valid links.
void ReadRegistryLinks(bool fileLinks);
// Stops a reading that is still going (the scan stopped) and waits for its thread.
void EndRegistryReading();
// The listed DLLs that a reading recorded.
int CountListedRegistryNames();

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
