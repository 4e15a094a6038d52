// Backup without WinZip: Orvenna writes the archive itself.
#include <windows.h>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/scan_state.h"
#include "feedback/feedback.h"
#include "platform/ascii_case.h"
#include "platform/qemcom95.h"
#include "platform/scoped_handle.h"
#include "results/results.h"
#include "results/zip_writer.h"

namespace
{

class FileOutput final : public ZipOutput
{
public:
    explicit FileOutput(HANDLE file) : file_(file) {}
    bool Write(const void* data, std::size_t size) override
    {
        DWORD written = 0;
        return WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    }
    bool Rewrite(std::uint64_t position, const void* data, std::size_t size) override
    {
        return MoveTo(position, FILE_BEGIN) && Write(data, size) && MoveTo(0, FILE_END);
    }
    bool CutBack(std::uint64_t position) override
    {
        return MoveTo(position, FILE_BEGIN) && SetEndOfFile(file_);
    }

private:
    bool MoveTo(std::uint64_t position, DWORD method)
    {
        LARGE_INTEGER distance;
        distance.QuadPart = static_cast<LONGLONG>(position);
        return SetFilePointerEx(file_, distance, nullptr, method);
    }
    HANDLE file_;
};

class FileInput final : public ZipInput
{
public:
    explicit FileInput(HANDLE file) : file_(file) {}
    long long Read(void* buffer, std::size_t size) override
    {
        DWORD got = 0;
        if (!ReadFile(file_, buffer, static_cast<DWORD>(size), &got, nullptr))
            return -1;
        return got;
    }

private:
    HANDLE file_;
};

// The selected paths, taken before anything is written: the list may not change under
// the backup while the window is pumped.
std::vector<std::string> SelectedPaths()
{
    std::vector<std::string> paths;
    HWND list = g_resultListWindow;
    const int count = GetCount(g_resultList);
    for (int i = 0; i < count; ++i)
        if (SendMessageA(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0)
            paths.emplace_back(NameAt(g_resultList, i));
    return paths;
}

// The scan lists short names; the archive holds the names a user restores to. Each
// folder is read once, for its long form and its files' short-to-long names: one
// directory query per file costs more under Wine than the file's whole compression.
class LongNames
{
public:
    std::string Of(const std::string& path)
    {
        const std::size_t slash = path.find_last_of('\\');
        if (slash == std::string::npos)
            return path;
        const Folder& folder = FolderOf(path.substr(0, slash + 1));
        const std::string name = path.substr(slash + 1);
        const auto known = folder.longNames.find(ToUpperAscii(name));
        return folder.longPath + (known != folder.longNames.end() ? known->second : name);
    }

private:
    struct Folder
    {
        std::string longPath;
        std::unordered_map<std::string, std::string> longNames; // by upper-case name, long or short
    };

    // A folder's long form is its parent's long form and its own name as the parent
    // lists it, so each folder costs one enumeration and no per-component look-ups.
    const Folder& FolderOf(const std::string& shortPath)
    {
        const auto known = folders_.find(shortPath);
        if (known != folders_.end())
            return known->second;
        Folder folder;
        const std::size_t slash =
            shortPath.size() < 2 ? std::string::npos : shortPath.find_last_of('\\', shortPath.size() - 2);
        if (slash == std::string::npos)
            folder.longPath = shortPath; // a drive's root
        else
        {
            const Folder& parent = FolderOf(shortPath.substr(0, slash + 1));
            const std::string name = shortPath.substr(slash + 1, shortPath.size() - slash - 2);
            const auto longName = parent.longNames.find(ToUpperAscii(name));
            folder.longPath =
                parent.longPath + (longName != parent.longNames.end() ? longName->second : name) + '\\';
        }
        WIN32_FIND_DATAA entry;
        FindHandle find(FindFirstFileA((shortPath + "*").c_str(), &entry));
        if (find.IsValid())
            do
            {
                // A file whose own name is another's short name is the one that name opens.
                folder.longNames[ToUpperAscii(entry.cFileName)] = entry.cFileName;
                if (entry.cAlternateFileName[0])
                    folder.longNames.emplace(ToUpperAscii(entry.cAlternateFileName), entry.cFileName);
            } while (FindNextFileA(find.handle, &entry));
        return folders_.emplace(shortPath, std::move(folder)).first->second;
    }

    std::unordered_map<std::string, Folder> folders_;
};

// Names outside ASCII are stored as UTF-8, which every current tool reads.
void NameRecord(ZipRecord& record, const std::string& longPath)
{
    const std::string name = ZipStoredName(longPath);
    record.name = name;
    for (unsigned char c : name)
        record.utf8Name = record.utf8Name || c >= 0x80;
    if (!record.utf8Name)
        return;
    std::wstring wide(name.size(), L'\0');
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()),
                                               wide.data(), static_cast<int>(wide.size()));
    std::string utf8(wideLength * 3, '\0');
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(),
                                               static_cast<int>(utf8.size()), nullptr, nullptr);
    if (wideLength <= 0 || utf8Length <= 0)
    {
        record.utf8Name = false;
        return;
    }
    utf8.resize(utf8Length);
    record.name = utf8;
}

ZipAddResult AddFile(ZipWriter& writer, const std::string& path, LongNames& longNames)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    // The handle's time and size and the name's attributes: GetFileInformationByHandle
    // also asks for the volume's serial number, which under Wine costs more than the rest.
    FILETIME written;
    LARGE_INTEGER size;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (!file.IsValid() || !GetFileSizeEx(file.handle, &size) ||
        !GetFileTime(file.handle, nullptr, nullptr, &written) || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ZipAddResult::SourceFailed;
    ZipRecord record;
    NameRecord(record, longNames.Of(path));
    record.externalAttributes = attributes & 0xFF;
    FILETIME local;
    if (!FileTimeToLocalFileTime(&written, &local) ||
        !FileTimeToDosDateTime(&local, &record.dosDate, &record.dosTime))
    {
        record.dosDate = (1 << 5) | 1; // 1980-01-01, the earliest a ZIP can say
        record.dosTime = 0;
    }
    FileInput input(file.handle);
    return writer.Add(record, static_cast<std::uint64_t>(size.QuadPart), input, PumpStep);
}

// Adds every path; false when the archive could not be written to the end.
bool WriteEntries(HANDLE archive, const std::vector<std::string>& paths, int& added, int& skipped)
{
    FileOutput output(archive);
    ZipWriter writer(output);
    LongNames longNames;
    for (const std::string& path : paths)
    {
        SetStatusText((kBackingUpText + path).c_str());
        switch (AddFile(writer, path, longNames))
        {
        case ZipAddResult::Added: ++added; break;
        case ZipAddResult::SourceFailed: ++skipped; break;
        case ZipAddResult::OutputFailed: return false;
        }
    }
    return writer.Finish() && FlushFileBuffers(archive);
}

} // namespace

int WriteZipArchive(const char* archive, const std::vector<std::string>& paths, int& added, int& skipped)
{
    // A new file only: an existing one may be an earlier backup or one of the
    // selected files, and neither is overwritten.
    HANDLE created = CreateFileA(archive, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (created == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS ? -1 : 0;
    added = skipped = 0;
    bool written = WriteEntries(created, paths, added, skipped);
    written = CloseHandle(created) && written;
    if (!written)
        DeleteFileA(archive);
    return written ? 1 : 0;
}

int WriteBackupArchive(HWND owner, const char* archive)
{
    int added = 0, skipped = 0;
    // The window is repainted while the files are read, but takes no commands.
    EnableWindow(owner, FALSE);
    const int written = WriteZipArchive(archive, SelectedPaths(), added, skipped);
    EnableWindow(owner, TRUE);
    if (written < 0)
    {
        const std::string text = std::string(archive) +
                                 " already exists.\n\nOrvenna writes its backups to new archives only. "
                                 "Choose another name.";
        MessageBoxA(owner, text.c_str(), "Backup", MB_ICONEXCLAMATION | MB_OK);
        return 0;
    }
    if (written == 0)
    {
        SetStatusText("");
        QemError(QEM_ERR_OUTPUT_OPEN);
        return 0;
    }
    char text[MAX_PATH + 80];
    if (skipped)
        wsprintfA(text, "Backed up %d file(s) to %s; %d could not be read.", added, archive, skipped);
    else
        wsprintfA(text, "Backed up %d file(s) to %s.", added, archive);
    SetStatusText(text);
    return 1;
}
