#include "tests/scan/scan_test_util.h"

#include <algorithm>
#include <cstring>

#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/path_parts.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/ascii_case.h"
#include "platform/qemcom95.h"
#include "settings/settings.h"

const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
static const char kOrvennaKey[] = "Software\\Tessaly Software Ltd\\Orvenna\\4.70";

int DriveNumber(char letter)
{
    return (letter & ~0x20) - '@';
}

::testing::AssertionResult DriveIsMapped(char letter)
{
    const char root[4] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == DRIVE_FIXED)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "drive " << letter
                                         << ": is not mapped; run the test through ctest, which maps the "
                                            "fixture machines with tests/wine/with-drives.sh";
}

// The sink takes plain functions, so they reach the recorder through this.
static ScanRecorder* s_recorder = nullptr;

ScanRecorder::ScanRecorder()
{
    s_recorder = this;
    g_feedbackSink.statusText = [](const char* text) { s_recorder->statusTexts.emplace_back(text); };
    g_feedbackSink.statusLineText = [](const char* text) { s_recorder->statusLineTexts.emplace_back(text); };
    g_feedbackSink.askContinue = [](const char*, const char*) {
        s_recorder->questions++;
        if (s_recorder->onQuestion)
            s_recorder->onQuestion();
        return s_recorder->answer;
    };
    g_feedbackSink.pump = [] {
        s_recorder->pumpSteps++;
        if (s_recorder->onPump)
            s_recorder->onPump();
    };
}

ScanRecorder::~ScanRecorder()
{
    g_feedbackSink = FeedbackSink{};
    s_recorder = nullptr;
}

std::vector<std::string> ScanRecorder::StatusTextsBeginning(const std::string& prefix) const
{
    std::vector<std::string> texts;
    for (const std::string& text : statusTexts)
        if (text.compare(0, prefix.size(), prefix) == 0)
            texts.push_back(text);
    return texts;
}

std::vector<std::string> ScanRecorder::Examined() const
{
    static const std::string prefix = " Examining ";
    std::vector<std::string> paths;
    for (const std::string& text : StatusTextsBeginning(prefix))
        paths.push_back(text.substr(prefix.size()));
    return paths;
}

ScanSession::ScanSession(bool quickScan)
{
    g_quickScan = quickScan ? 1 : 0;
    BeginScan(StoredScanInputs());
}

ScanSession::~ScanSession()
{
    EndScan();
    Clear(g_resultList);
    g_quickScan = 1;
    g_readModernLinks = 0;
    SetCurrentDirectoryA("B:\\");
}

void StopScan()
{
    if (g_scanning)
        EndScan();
}

std::vector<std::string> Names(const NameList& list)
{
    std::vector<std::string> names;
    for (int i = 0; i < GetCount(list); i++)
        names.emplace_back(NameAt(list, i));
    return names;
}

std::vector<std::string> NamesOnDrive(const NameList& list, char letter)
{
    std::vector<std::string> names;
    for (const std::string& name : Names(list))
        if (name.size() >= 2 && (name[0] & ~0x20) == (letter & ~0x20) && name[1] == ':')
            names.push_back(name);
    return names;
}

bool Contains(const NameList& list, const std::string& name)
{
    std::vector<std::string> names = Names(list);
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return EqualsIgnoringCase(n, name); });
}

bool ContainsEnding(const NameList& list, const std::string& suffix)
{
    for (const std::string& name : Names(list))
        if (name.size() >= suffix.size() &&
            EqualsIgnoringCase(name.substr(name.size() - suffix.size()), suffix))
            return true;
    return false;
}

std::string ShortPath(const std::string& path)
{
    char out[MAX_PATH];
    QemGetDOSFileName(path.c_str(), out);
    return out;
}

std::string SystemFile(const std::string& name)
{
    char directory[MAX_PATH];
    GetSystemDirectoryA(directory, MAX_PATH);
    return ShortPath(std::string(directory) + "\\" + name);
}

PreferencesGuard::PreferencesGuard()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kOrvennaKey);
}

PreferencesGuard::~PreferencesGuard()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kOrvennaKey);
}

SharedDllsGuard::SharedDllsGuard() : existed_(KeyExists())
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; index++)
    {
        char name[16384];
        BYTE data[4096];
        DWORD nameSize = sizeof name, type = 0, dataSize = sizeof data;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        values_.push_back({name, type, std::vector<BYTE>(data, data + dataSize)});
    }
    RegCloseKey(key);
}

SharedDllsGuard::~SharedDllsGuard()
{
    DeleteKey();
    if (!existed_)
        return;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    for (const Value& value : values_)
        RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
}

void SharedDllsGuard::SetValue(const std::string& name, DWORD count)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&count), sizeof count));
    RegCloseKey(key);
}

bool SharedDllsGuard::KeyExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void SharedDllsGuard::DeleteKey()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSharedDllsKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSharedDllsKey);
}

RegistryValuesGuard::~RegistryValuesGuard()
{
    for (const auto& [root, key, name] : set_)
        RegDeleteKeyValueA(root, key.c_str(), name.c_str());
    for (const auto& [root, key, name] : owned_)
        RegDeleteTreeA(root, key.c_str());
}

void RegistryValuesGuard::Set(HKEY root, const std::string& key, const std::string& name, DWORD type,
                              const std::string& data)
{
    HKEY opened;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr));
    set_.emplace_back(root, key, name);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(opened, WideOfAnsi(name).c_str(), 0, type,
                             reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())));
    RegCloseKey(opened);
}

std::string RegistryValuesGuard::Utf16(const std::string& text, bool terminated)
{
    std::string bytes;
    for (char c : text)
        bytes += {c, '\0'};
    return terminated ? bytes + std::string(2, '\0') : bytes;
}
