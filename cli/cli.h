// The console scanner: the engine's second front end, for scripts, tests and the benchmark.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/filter_entry.h"
#include "engine/scan_inputs.h"

// Exit statuses.
enum
{
    EXIT_OK = 0,
    EXIT_FAILED = 1,
    EXIT_BAD_ARGUMENTS = 2,
    EXIT_NOT_FOUND = 3, // why: a target named no file, or no DLL the scan saw; imports: no such file
    EXIT_INTERRUPTED = 130,
};

// The line end of everything the scanner writes while and after it scans. Its streams
// are binary then: in text mode this runtime asks the platform about the console for
// every line, or on the error stream every character, that it writes, a call each.
constexpr char kLineEnd[] = "\r\n";

// How the result list is written: the saved-list lines and the summary line, or one
// record a DLL for scripts.
enum class ListFormat
{
    Plain,
    Tsv,
    Json,
};

struct ScanOptions
{
    int quickScan = -1; // -1: the stored preference; 0: --full; 1: --quick
    // -1: the stored preference; 0: --classic; 1: --modern
    int modernLinks = -1;
    int scan64 = -1; // -1: the stored preference; 0: --32-bit-only; 1: --64-bit
    bool filtersGiven = false;
    std::vector<FilterEntry> filters;
    bool prefixGiven = false, suffixGiven = false;
    std::string prefix, suffix;
    std::string output; // empty: standard output
    ListFormat format = ListFormat::Plain;
    unsigned drives = 0;              // --drives: a bit a drive (1 << 2 is C:); 0: the walk's own choice
    std::vector<std::string> targets; // the arguments that are no options
};

// usage.cpp
void PrintUsage();

// scan_options.cpp
// False with a message in error when the arguments are not a valid scan command line.
bool ParseScanOptions(int argc, char** argv, ScanOptions& options, std::string& error);
// Takes --modern or --classic (or their synonyms --import-directories and
// --section-imports) into modernLinks (1 or 0); false for any other argument.
bool ParseReadingOption(const char* arg, int& modernLinks);
// The stored preferences, with the reading of links chosen for this run.
void LoadPreferencesFor(int modernLinks);
// What this run hands the scan: the stored settings as the options change them.
ScanInputs ScanInputsFor(const ScanOptions& options);
// "EXT[:KIND],...": extensions of one to eight characters after an optional dot, kinds
// 0 or 1; taken upper-case and with the dot, as the Filters dialog takes them.
bool ParseFilterOption(const std::string& text, std::vector<FilterEntry>& filters, std::string& error);

// "CDE": drive letters from C to Z, as bits (1 << 2 is C:).
bool ParseDrivesOption(const std::string& text, unsigned& drives, std::string& error);

// progress.cpp
// Shows the scan's progress on standard error: one line rewritten in place on a
// terminal, plain lines otherwise.
void BeginProgress();
void EndProgress();

// scan_command.cpp: `orvscan [OPTIONS]`
int RunScanCommand(const ScanOptions& options);
// A whole scan, as the window's Start runs it. False, with the message written, when it
// was stopped.
bool ScanMachine(const ScanInputs& inputs, std::uint64_t& total);

// list_writer.cpp
// A list written to a stream as it is formatted, 64 KB at a time: every write to a
// stream may be a call into the platform, and a whole machine's list held at once
// would stand beside everything the scan keeps.
class ListWriter
{
public:
    explicit ListWriter(std::FILE* out) : out_(out) {}
    void Add(std::string_view text);
    // Writes what is left; false when any of the list could not be written.
    bool Finish();

private:
    void WritePiece();
    std::FILE* out_;
    std::string piece_;
    bool failed_ = false;
};

// list_formats.cpp: `orvscan --format tsv|json`
// The result list, one record a DLL: short and long path, size, file version and the
// DLLs of the scan that link to it. False when it could not all be written.
bool WriteListRecords(ListFormat format, std::FILE* out);

// why_command.cpp: `orvscan why [OPTIONS] TARGET...`
int RunWhyCommand(const ScanOptions& options);

// imports_command.cpp: `orvscan imports [--modern | --classic] FILE...`
int RunImportsCommand(int fileCount, char** files, int modernLinks);
