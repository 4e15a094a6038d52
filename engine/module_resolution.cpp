#include <windows.h>

#include <array>
#include <cstdlib>
#include <string>

#include "engine/engine.h"
#include "engine/path_parts.h"
#include "platform/qemcom95.h"

static const std::array<const char*, 6> kModuleExtensions = {".DLL", ".DRV", ".SYS", ".EXE", ".OCX", ".VBX"};

static std::string DirectoryOf(const char* path)
{
    std::string directory(path);
    std::size_t separator = directory.find_last_of('\\');
    directory.resize(separator == std::string::npos ? 0 : separator);
    return directory;
}

// The directories that follow the current one in the module search order: the
// system directories, the Windows directory and PATH. They do not change during a run.
static const std::string& FixedSearchDirectories()
{
    static const std::string directories = [] {
        char buffer[MAX_PATH];
        std::string list;
        if (GetSystemDirectoryA(buffer, MAX_PATH))
            list += std::string(buffer) + ';';
        if (GetWindowsDirectoryA(buffer, MAX_PATH))
            list += std::string(buffer) + "\\system;" + buffer + ';';
        if (const char* path = std::getenv("PATH"))
            list += path;
        return list;
    }();
    return directories;
}

static const std::string& ProgramDirectory()
{
    static const std::string directory = [] {
        char buffer[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
        return length && length < MAX_PATH ? DirectoryOf(buffer) : std::string();
    }();
    return directory;
}

// The search order of OpenFile: the program's directory, the current directory (the
// examined file's), the system directories, the Windows directory, PATH. OpenFile
// itself gives up on any file whose path passes 127 characters, and a deep current
// directory makes it lose even the system's own DLLs, so the search is made here.
static bool SearchModule(const std::string& fileName, char (&found)[MAX_PATH])
{
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    std::string directories = ProgramDirectory() + ';';
    if (length && length < MAX_PATH)
        directories += std::string(current) + ';';
    directories += FixedSearchDirectories();

    char* filePart = nullptr;
    length = SearchPathA(directories.c_str(), fileName.c_str(), nullptr, MAX_PATH, found, &filePart);
    if (length == 0 || length >= MAX_PATH)
        return false;
    DWORD attributes = GetFileAttributesA(found);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int ResolveModule(char (&name)[MAX_PATH])
{
    std::string_view extension = PathExtension(name);
    if (!extension.empty())
    {
        for (std::size_t i = 0; i < kModuleExtensions.size(); i++)
            if (EqualsIgnoringCase(extension, kModuleExtensions[i]))
                return static_cast<int>(i);
        return -1;
    }
    for (std::size_t i = 0; i < kModuleExtensions.size(); i++)
    {
        char found[MAX_PATH];
        if (SearchModule(std::string(name) + kModuleExtensions[i], found))
        {
            QemGetDOSFileName(found, name);
            return static_cast<int>(i);
        }
    }
    return -1;
}
