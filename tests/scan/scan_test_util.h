// Helpers of the scan's Wine tests: the drives of the fixture machines, a recorder of
// what the engine reports, a scan session that leaves nothing behind, and guards for
// the registry state a test sets.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/name_list.h"

// 1 = A, as WalkDrive counts.
int DriveNumber(char letter);
// Fails, naming the harness, when the fixture machine's drive is not mapped.
::testing::AssertionResult DriveIsMapped(char letter);

// Everything the engine reports while the recorder lives: texts of the status bar
// and the status line, pump steps (onPump runs at each) and error questions
// (onQuestion runs at each, then answer is given).
class ScanRecorder
{
public:
    ScanRecorder();
    ~ScanRecorder();
    ScanRecorder(const ScanRecorder&) = delete;
    ScanRecorder& operator=(const ScanRecorder&) = delete;

    // The paths of the " Examining %s" texts, in order.
    std::vector<std::string> Examined() const;
    // The texts of the status bar that begin with prefix.
    std::vector<std::string> StatusTextsBeginning(const std::string& prefix) const;

    std::vector<std::string> statusTexts;
    std::vector<std::string> statusLineTexts;
    int pumpSteps = 0;
    std::function<void()> onPump;
    int questions = 0;
    std::function<void()> onQuestion;
    int answer = IDYES;
};

// A scan as the window runs one: BeginScan now, with the stored settings; at the end
// EndScan and the result list cleared, Quick Scan and Read Modern Links back to
// their defaults.
class ScanSession
{
public:
    explicit ScanSession(bool quickScan = true);
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;
};

// The stop request, as the Stop command makes it from inside a pump step.
void StopScan();

std::vector<std::string> Names(const NameList& list);
// The entries on one drive, in list order.
std::vector<std::string> NamesOnDrive(const NameList& list, char letter);
bool Contains(const NameList& list, const std::string& name);
// Whether any entry ends with suffix, case ignored.
bool ContainsEnding(const NameList& list, const std::string& suffix);

// The short full path of a file, as the lists hold it.
std::string ShortPath(const std::string& path);
// The short path of a file of the system directory.
std::string SystemFile(const std::string& name);

// Orvenna's preferences (filter list, Quick Scan) removed at both ends of a test.
class PreferencesGuard
{
public:
    PreferencesGuard();
    ~PreferencesGuard();
    PreferencesGuard(const PreferencesGuard&) = delete;
    PreferencesGuard& operator=(const PreferencesGuard&) = delete;
};

// The shared-DLL register as the test found it, put back at the end: its values, or
// its absence.
class SharedDllsGuard
{
public:
    SharedDllsGuard();
    ~SharedDllsGuard();
    SharedDllsGuard(const SharedDllsGuard&) = delete;
    SharedDllsGuard& operator=(const SharedDllsGuard&) = delete;

    static void SetValue(const std::string& name, DWORD count);
    static bool KeyExists();
    static void DeleteKey();

private:
    struct Value
    {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    bool existed_;
    std::vector<Value> values_;
};

extern const char kSharedDllsKey[];

// Registry values a test writes through the platform's calls, values the test prefix
// does not hold of itself: removed at the end, with the keys the test owns.
class RegistryValuesGuard
{
public:
    RegistryValuesGuard() = default;
    ~RegistryValuesGuard();
    RegistryValuesGuard(const RegistryValuesGuard&) = delete;
    RegistryValuesGuard& operator=(const RegistryValuesGuard&) = delete;

    // data is the value's bytes as stored, terminator or not (Utf16 makes a string's).
    void Set(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& data);
    void Own(HKEY root, const std::string& key) { owned_.emplace_back(root, key, ""); }
    static std::string Utf16(const std::string& text, bool terminated = true);

private:
    std::vector<std::tuple<HKEY, std::string, std::string>> set_, owned_;
};
