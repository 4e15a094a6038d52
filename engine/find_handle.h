// A directory enumeration that is released on every path.
#pragma once

#include <windows.h>

struct FindHandle
{
    HANDLE handle;
    explicit FindHandle(HANDLE h) : handle(h) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            FindClose(handle);
    }
    bool Found() const { return handle != INVALID_HANDLE_VALUE; }
};
