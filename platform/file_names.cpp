// File names and details: QemGetDOSFileName, QemGetDateTimeSize.
#include "platform/qem_internal.h"
#include "platform/qemcom95.h"

#include <cstdio>
#include <cstring>

namespace
{

// Copies text into a buffer of size bytes, cut to fit with its terminator. The two may
// overlap: a caller may pass the same buffer in and out.
void CopyCut(const char* text, char* buffer, size_t size)
{
    size_t length = strnlen(text, size - 1);
    std::memmove(buffer, text, length);
    buffer[length] = '\0';
}

// The last write time, local, as "YYYY-MM-DD" and "HH:MM:SS" in 20-byte buffers (either
// may be null); both are left empty when the time cannot be converted.
void FormatWriteTime(const FILETIME& written, char* date, char* time)
{
    constexpr size_t kBufferSize = 20;
    FILETIME local;
    SYSTEMTIME when;
    bool known = FileTimeToLocalFileTime(&written, &local) && FileTimeToSystemTime(&local, &when);
    if (date)
    {
        if (known)
            snprintf(date, kBufferSize, "%04u-%02u-%02u", unsigned{when.wYear}, unsigned{when.wMonth},
                     unsigned{when.wDay});
        else
            date[0] = '\0';
    }
    if (time)
    {
        if (known)
            snprintf(time, kBufferSize, "%02u:%02u:%02u", unsigned{when.wHour}, unsigned{when.wMinute},
                     unsigned{when.wSecond});
        else
            time[0] = '\0';
    }
}

} // namespace

int WINAPI QemGetDOSFileName(LPCSTR path, LPSTR out)
{
    if (!out)
        return 0;
    if (!path)
    {
        out[0] = '\0';
        return 0;
    }
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
    // 0: no such file or no short form; MAX_PATH or more: the size it would need.
    if (length == 0 || length >= sizeof shortPath)
    {
        CopyCut(path, out, MAX_PATH);
        return 0;
    }
    CopyCut(shortPath, out, MAX_PATH);
    return 1;
}

int WINAPI QemGetDateTimeSize(LPCSTR path, LPSTR date, LPSTR time, DWORD* size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path || !GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;

    if (size)
        *size = data.nFileSizeHigh ? 0xFFFFFFFF : data.nFileSizeLow;

    FormatWriteTime(data.ftLastWriteTime, date, time);
    return 1;
}
