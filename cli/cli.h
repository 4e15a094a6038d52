// The console scanner: the engine's second front end, for scripts, tests and the benchmark.
#pragma once

#include <string>
#include <vector>

#include "settings/filter_entry.h"

// Exit statuses.
enum
{
    EXIT_OK = 0,
    EXIT_FAILED = 1,
    EXIT_BAD_ARGUMENTS = 2,
    EXIT_INTERRUPTED = 130,
};

// The line end of everything the scanner writes while and after it scans. Its streams
// are binary then: in text mode this runtime asks the platform about the console for
// every line, or on the error stream every character, that it writes, a call each.
constexpr char kLineEnd[] = "\r\n";

struct ScanOptions
{
    int quickScan = -1; // -1: the stored preference; 0: --full; 1: --quick
    // -1: the stored preference; 0: --section-imports; 1: --import-directories
    int importDirectories = -1;
    bool filtersGiven = false;
    std::vector<FilterEntry> filters;
    bool prefixGiven = false, suffixGiven = false;
    std::string prefix, suffix;
    std::string output; // empty: standard output
};

// usage.cpp
void PrintUsage();

// scan_options.cpp
// False with a message in error when the arguments are not a valid scan command line.
bool ParseScanOptions(int argc, char** argv, ScanOptions& options, std::string& error);
// Takes --import-directories or --section-imports into importDirectories (1 or 0); false
// for any other argument.
bool ParseReadingOption(const char* arg, int& importDirectories);
// The stored preferences, with the reading of import tables chosen for this run.
void LoadPreferencesFor(int importDirectories);
// "EXT[:KIND],...": extensions of a dot and one to three characters, kinds 0 or 1.
bool ParseFilterOption(const std::string& text, std::vector<FilterEntry>& filters, std::string& error);

// progress.cpp
// Shows the scan's progress on standard error: one line rewritten in place on a
// terminal, plain lines otherwise.
void BeginProgress();
void EndProgress();

// scan_command.cpp: `orvscan [OPTIONS]`
int RunScanCommand(const ScanOptions& options);

// imports_command.cpp: `orvscan imports [--import-directories | --section-imports] FILE...`
int RunImportsCommand(int fileCount, char** files, int importDirectories);
