// Handles that are released on every path: an open file, a directory enumeration.
// Both report failure as INVALID_HANDLE_VALUE.
#pragma once

#include <windows.h>

template <typename Release> struct ScopedHandle
{
    HANDLE handle;
    explicit ScopedHandle(HANDLE h) : handle(h) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle()
    {
        if (IsValid())
            Release()(handle);
    }
    bool IsValid() const { return handle != INVALID_HANDLE_VALUE; }
};

struct CloseFile
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct CloseFind
{
    void operator()(HANDLE handle) const { FindClose(handle); }
};

using FileHandle = ScopedHandle<CloseFile>;
using FindHandle = ScopedHandle<CloseFind>;
