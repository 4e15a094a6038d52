// File names and details: QemGetDOSFileName, QemGetDateTimeSize.
#include "platform/ascii_case.h"
#include "platform/qem_internal.h"
#include "platform/qemcom95.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// Whether more than one entry of folder (empty, or ending in a separator) carries name,
// as its long or its 8.3 name.
bool IsSharedName(const std::string& folder, const std::string& name)
{
    // '?' for '~' makes the platform match every entry instead of the first.
    std::string mask = folder + name;
    std::replace(mask.begin() + static_cast<std::ptrdiff_t>(folder.size()), mask.end(), '~', '?');
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(mask.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    int carriers = 0;
    do
        if (EqualsIgnoringCase(found.cFileName, name.c_str()) ||
            EqualsIgnoringCase(found.cAlternateFileName, name.c_str()))
            carriers++;
    while (carriers < 2 && FindNextFileA(find, &found));
    FindClose(find);
    return carriers > 1;
}

// A path split at its separators: the names, each with the separators before it.
struct PathPiece
{
    std::string separators;
    std::string name;
};

std::vector<PathPiece> SplitAtSeparators(const char* path)
{
    std::vector<PathPiece> pieces;
    for (const char* p = path; *p;)
    {
        PathPiece piece;
        for (; *p == '\\' || *p == '/'; p++)
            piece.separators += *p;
        for (; *p && *p != '\\' && *p != '/'; p++)
            piece.name += *p;
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

// Wine makes 8.3 names by hashing, and two long names of one folder can get the same
// one, under which the platform opens whichever it meets first. In such a place the
// short path takes the long name of the entry that path names, which names it alone.
std::string NameEveryEntryAlone(const char* path, const char* shortPath)
{
    if (!std::strchr(shortPath, '~'))
        return shortPath;
    const std::vector<PathPiece> written = SplitAtSeparators(path);
    std::vector<PathPiece> shortened = SplitAtSeparators(shortPath);
    if (written.size() != shortened.size())
        return shortPath;
    std::string result;
    for (std::size_t i = 0; i < shortened.size(); i++)
    {
        result += shortened[i].separators;
        PathPiece& piece = shortened[i];
        if (piece.name.find('~') != std::string::npos && IsSharedName(result, piece.name))
        {
            WIN32_FIND_DATAA found;
            HANDLE find = FindFirstFileA((result + written[i].name).c_str(), &found);
            if (find != INVALID_HANDLE_VALUE)
            {
                FindClose(find);
                if (!std::strpbrk(found.cFileName, "?*"))
                    piece.name = found.cFileName;
            }
        }
        result += piece.name;
    }
    return result;
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
    // A path that its long names would make too long keeps its 8.3 form.
    const std::string alone = NameEveryEntryAlone(path, shortPath);
    CopyCut(alone.size() < sizeof shortPath ? alone.c_str() : shortPath, out, MAX_PATH);
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
