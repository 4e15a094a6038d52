// What the library's own files share: its module handle and the handle wrappers
// (the GDI ones are shared with the program, in gdi_handles.h).
#pragma once

#include <windows.h>

#include <string>

#include "platform/gdi_handles.h"

// The library's module, for every resource load (menus, bitmap, strings, dialogs).
HINSTANCE LibraryModule();

// A kernel handle closed on every path out (files opened by CreateFileA).
class FileHandle
{
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle()
    {
        if (IsOpen())
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// An open registry key, closed on every path out.
class RegKey
{
public:
    RegKey() = default;
    ~RegKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A string-table text of the library, or empty when it has none under that number.
std::string LoadLibraryString(UINT id);
