// Backup without WinZip: Orvenna writes the archive itself.
#include <windows.h>

#include <string>
#include <vector>

#include "engine/scan_state.h"
#include "feedback/feedback.h"
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

// The scan lists short names; the archive holds the names a user restores to. Names
// outside ASCII are stored as UTF-8, which every current tool reads.
void NameRecord(ZipRecord& record, const std::string& path)
{
    char longPath[MAX_PATH];
    const DWORD length = GetLongPathNameA(path.c_str(), longPath, MAX_PATH);
    const std::string name = ZipStoredName(length > 0 && length < MAX_PATH ? longPath : path);
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

void ShowProgress()
{
    PumpStep();
}

ZipAddResult AddFile(ZipWriter& writer, const std::string& path)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.IsValid() || !GetFileInformationByHandle(file.handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return ZipAddResult::SourceFailed;
    ZipRecord record;
    NameRecord(record, path);
    record.externalAttributes = info.dwFileAttributes & 0xFF;
    FILETIME local;
    if (!FileTimeToLocalFileTime(&info.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &record.dosDate, &record.dosTime))
    {
        record.dosDate = (1 << 5) | 1; // 1980-01-01, the earliest a ZIP can say
        record.dosTime = 0;
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    FileInput input(file.handle);
    return writer.Add(record, size, input, ShowProgress);
}

// Adds every path; false when the archive could not be written to the end.
bool WriteEntries(HANDLE archive, const std::vector<std::string>& paths, int& added, int& skipped)
{
    FileOutput output(archive);
    ZipWriter writer(output);
    for (const std::string& path : paths)
    {
        SetStatusText((kBackingUpText + path).c_str());
        switch (AddFile(writer, path))
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
