// What the library's own files share: its module handle and the registry key wrapper
// (the file and GDI ones are shared with the program, in scoped_handle.h and
// gdi_handles.h).
#pragma once

#include <windows.h>

#include <string>

#include "platform/gdi_handles.h"

// The library's module, for every resource load (menus, bitmap, strings, dialogs).
HINSTANCE LibraryModule();

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
