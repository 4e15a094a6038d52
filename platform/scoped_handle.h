// Handles that are released on every path: an open file, a directory enumeration
// (both report failure as INVALID_HANDLE_VALUE), and a C stream.
#pragma once

#include <windows.h>

#include <cstdio>
#include <memory>

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

struct CloseStream
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using StreamHandle = std::unique_ptr<std::FILE, CloseStream>;
