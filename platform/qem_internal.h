// What the library's own files share: its module handle and the handle wrappers.
#pragma once

#include <windows.h>

#include <string>

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

// A window's device context, released on every path out.
class WindowDC
{
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A GDI object selected into a device context until the end of the scope.
class SelectedObject
{
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr)
    {
    }
    ~SelectedObject()
    {
        if (previous_)
            SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A string-table text of the library, or empty when it has none under that number.
std::string LoadLibraryString(UINT id);
