// The registry as a source of links: the string values of the trees where Windows
// keeps what it loads (COM servers, services, drivers, codecs, shell extensions, print
// monitors, Winsock providers, AppInit_DLLs), every value read, as a machine's
// programs add keys of their own. Under Wine every call into the registry is a call
// into the server, so the reading makes exactly one call a key for its counts, one a
// value and one a subkey, as an enumeration must; and it makes them on a thread of its
// own while the walk goes on, which leaves the second processor and the server's idle
// moments to it. The names it finds wait, a bounded number at a time, to be resolved
// after the walk, whose listings the resolution asks.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "engine/directory_listing.h"
#include "engine/engine.h"
#include "engine/link_graph.h"
#include "engine/path_parts.h"
#include "engine/registry_names.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"

namespace
{

struct RegistryTree
{
    HKEY root;
    const wchar_t* path;
    const char* shown;
};

// HKLM\Software holds Classes, and WOW6432Node where the machine has one: the 64-bit
// view is asked for, which lists it as a subkey. HKEY_CLASSES_ROOT is only the
// machine's and the user's Classes seen together.
const RegistryTree kTrees[] = {
    {HKEY_LOCAL_MACHINE, L"Software", "HKLM\\Software"},
    {HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet", "HKLM\\System\\CurrentControlSet"},
    {HKEY_CURRENT_USER, L"Software", "HKCU\\Software"},
    {HKEY_USERS, L".DEFAULT\\Software", "HKU\\.DEFAULT\\Software"},
};

constexpr REGSAM kReadAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_WOW64_64KEY;
// Deeper than Windows lets a key be: a crafted registry ends here.
constexpr int kDeepestKey = 512;
// The longest value name there is; data beyond this is no list of modules, and passed over.
constexpr DWORD kNameChars = 16384;
constexpr DWORD kDataChars = 32768;
// Names handed on this reading, forgotten now and then: a registry of a million values
// can name a million files, and handing one on twice only costs its lookup again.
constexpr std::size_t kMostRememberedNames = 65536;
// Names found and not yet filed: the reading waits while this many wait for the walk.
// They are handed over together: under Wine each wait and wake between the threads is a
// call into the server.
constexpr std::size_t kMostWaitingNames = 4096;
constexpr std::size_t kNamesHandedTogether = 512;

// A name a value holds, and the value, as the link graph records it.
struct FoundName
{
    std::u16string name;
    std::string value;
};

// What the reading's thread and the scan share.
struct Collector
{
    std::mutex lock;
    std::condition_variable changed;
    std::vector<FoundName> found;
    bool done = false;
    std::atomic<bool> abandoned{false};
    std::thread thread;
};

std::unique_ptr<Collector> s_collector;

struct Reading
{
    explicit Reading(Collector& to) : collector(to) {}
    Collector& collector;
    std::string keyPath;
    std::vector<wchar_t> name = std::vector<wchar_t>(kNameChars);
    std::vector<wchar_t> data = std::vector<wchar_t>(kDataChars);
    std::vector<wchar_t> expanded = std::vector<wchar_t>(kDataChars);
    std::unordered_set<std::u16string> handled;
    std::vector<FoundName> batch;

    bool GoingOn() const { return !collector.abandoned.load(std::memory_order_relaxed); }
};

std::string AnsiOf(const wchar_t* text, int length, bool& exact)
{
    BOOL inexact = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, "?", &inexact);
    std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, ansi.data(), size, "?", &inexact);
    exact = size > 0 && !inexact;
    return ansi;
}

// The file a name found in a value stands for, by its short full path; empty when it
// names none. A path is taken as it stands, a bare name as the loader finds it.
std::string FileNamed(std::u16string_view found)
{
    bool exact = false;
    std::string name =
        AnsiOf(reinterpret_cast<const wchar_t*>(found.data()), static_cast<int>(found.size()), exact);
    if (!exact || name.size() > kMaxPathLength || name.find_first_of("?*") != std::string::npos)
        return {};
    if (name.size() > 2 && name[1] == ':')
        return ShortPathOfExistingFile(name.c_str());
    char path[MAX_PATH];
    lstrcpynA(path, name.c_str(), MAX_PATH);
    return ResolveLoadedModule(path) ? std::string(path) : std::string();
}

std::u16string Folded(std::u16string_view name)
{
    std::u16string folded(name);
    for (char16_t& c : folded)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - (u'a' - u'A'));
    return folded;
}

// Hands the names found so far on to be filed, waiting while the scan has enough names
// to file.
void HandOver(Reading& reading)
{
    Collector& collector = reading.collector;
    std::unique_lock<std::mutex> held(collector.lock);
    collector.changed.wait(
        held, [&] { return collector.found.size() < kMostWaitingNames || collector.abandoned.load(); });
    std::move(reading.batch.begin(), reading.batch.end(), std::back_inserter(collector.found));
    reading.batch.clear();
    collector.changed.notify_all();
}

void HandOn(Reading& reading, std::u16string_view found, DWORD nameLength)
{
    if (reading.handled.size() >= kMostRememberedNames)
        reading.handled.clear();
    if (!reading.handled.insert(Folded(found)).second)
        return;
    bool exact = false;
    const std::string value =
        nameLength ? AnsiOf(reading.name.data(), static_cast<int>(nameLength), exact) : "(Default)";
    reading.batch.push_back({std::u16string(found), reading.keyPath + '\\' + value});
    if (reading.batch.size() >= kNamesHandedTogether)
        HandOver(reading);
}

void FileName(const FoundName& found, bool fileLinks)
{
    const std::string file = FileNamed(found.name);
    if (file.empty())
        return;
    RecordRegistryName(file.c_str(), found.value.c_str(), fileLinks);
    if (fileLinks)
        AddName(g_validLinks, file);
}

void ReadValue(Reading& reading, DWORD type, DWORD size, DWORD nameLength)
{
    std::u16string_view data(reinterpret_cast<const char16_t*>(reading.data.data()), size / sizeof(wchar_t));
    if (type == REG_EXPAND_SZ)
    {
        // Expanded from a copy that surely ends: the data need not.
        const std::wstring text(reading.data.data(), data.substr(0, data.find(u'\0')).size());
        const DWORD length = ExpandEnvironmentStringsW(text.c_str(), reading.expanded.data(), kDataChars);
        if (length == 0 || length > kDataChars)
            return;
        data = std::u16string_view(reinterpret_cast<const char16_t*>(reading.expanded.data()), length - 1);
    }
    FindRegistryModuleNamesInData(data, type == REG_MULTI_SZ,
                                  [&](std::u16string_view found) { HandOn(reading, found, nameLength); });
}

bool IsUnnamedInterfaces(const std::string& keyPath, const wchar_t* subkey)
{
    // Interfaces are registered by GUID: their values name proxies and type libraries by
    // GUID, never a file, and they are half the keys of a machine's Classes.
    constexpr char kClasses[] = "\\Classes";
    return lstrcmpiW(subkey, L"Interface") == 0 && keyPath.size() >= sizeof kClasses - 1 &&
           lstrcmpiA(keyPath.c_str() + keyPath.size() - (sizeof kClasses - 1), kClasses) == 0;
}

void ReadKey(Reading& reading, HKEY key, int depth)
{
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0; i < values && reading.GoingOn(); i++)
    {
        DWORD nameLength = kNameChars, type = REG_NONE, size = kDataChars * sizeof(wchar_t);
        const LONG status = RegEnumValueW(key, i, reading.name.data(), &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(reading.data.data()), &size);
        // A value too large to be a list of modules; any other failure (the key deleted
        // meanwhile, say) ends the key.
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)
            ReadValue(reading, type, size, nameLength);
    }
    if (depth >= kDeepestKey)
        return;
    for (DWORD i = 0; i < subkeys && reading.GoingOn(); i++)
    {
        wchar_t subkey[256];
        DWORD length = 256;
        const LONG status = RegEnumKeyExW(key, i, subkey, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (IsUnnamedInterfaces(reading.keyPath, subkey))
            continue;
        // A link is read as a key of its own: followed, it could lead round in a circle.
        HKEY child;
        if (RegOpenKeyExW(key, subkey, REG_OPTION_OPEN_LINK, kReadAccess, &child) != ERROR_SUCCESS)
            continue;
        const std::size_t parentLength = reading.keyPath.size();
        bool exact = false;
        reading.keyPath += '\\' + AnsiOf(subkey, static_cast<int>(length), exact);
        ReadKey(reading, child, depth + 1);
        reading.keyPath.resize(parentLength);
        RegCloseKey(child);
    }
}

void CollectRegistryNames(Collector& collector)
{
    Reading reading(collector);
    for (const RegistryTree& tree : kTrees)
    {
        HKEY key;
        if (!reading.GoingOn() || RegOpenKeyExW(tree.root, tree.path, 0, kReadAccess, &key) != ERROR_SUCCESS)
            continue;
        reading.keyPath = tree.shown;
        ReadKey(reading, key, 0);
        RegCloseKey(key);
    }
    HandOver(reading);
    std::lock_guard<std::mutex> held(collector.lock);
    collector.done = true;
    collector.changed.notify_all();
}

} // namespace

void BeginRegistryReading()
{
    EndRegistryReading();
    s_collector = std::make_unique<Collector>();
    Collector& collector = *s_collector;
    collector.thread = std::thread([&collector] { CollectRegistryNames(collector); });
}

void EndRegistryReading()
{
    if (!s_collector)
        return;
    {
        std::lock_guard<std::mutex> held(s_collector->lock);
        s_collector->abandoned = true;
        s_collector->changed.notify_all();
    }
    s_collector->thread.join();
    s_collector.reset();
}

void ReadRegistryLinks(bool fileLinks)
{
    SetStatusText(" Reading module names in the registry...");
    // A value may name a module of either width: what it names stands wherever found,
    // whatever file the walk examined last.
    g_namingBits = 0;
    if (!s_collector)
        BeginRegistryReading();
    Collector& collector = *s_collector;
    std::vector<FoundName> taken;
    bool done = false;
    while (!done && g_scanning)
    {
        {
            std::unique_lock<std::mutex> held(collector.lock);
            // Now and then a pump step, so that Stop is heard while the reading goes on.
            collector.changed.wait_for(held, std::chrono::milliseconds(50),
                                       [&] { return !collector.found.empty() || collector.done; });
            taken.clear();
            taken.swap(collector.found);
            done = collector.done;
            collector.changed.notify_all();
        }
        for (const FoundName& found : taken)
        {
            PumpStep();
            if (!g_scanning)
                break;
            FileName(found, fileLinks);
        }
        PumpStep();
    }
    EndRegistryReading();
    if (fileLinks)
        DropDuplicates(g_validLinks);
}

int CountListedRegistryNames()
{
    int count = 0;
    for (const LinkedFile* file : LinkedFiles())
        if (!RegistryValueOf(*file).empty() && IsListed(file->shortPath))
            count++;
    return count;
}
