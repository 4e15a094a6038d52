// Files the module search typed ahead of their examination, kept open for it: with 64-bit
// DLLs included a program's DLLs beside it are typed when the program is examined, just
// before the walk examines them, and on this platform an open costs more than the read.
// Win32.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <utility>

class HeldFiles
{
public:
    HeldFiles() = default;
    HeldFiles(HeldFiles&& other) noexcept;
    HeldFiles& operator=(HeldFiles&& other) noexcept;
    HeldFiles(const HeldFiles&) = delete;
    HeldFiles& operator=(const HeldFiles&) = delete;
    ~HeldFiles();

    // Keeps the open file (a HANDLE) under shortPath; the oldest beyond a few are closed.
    void Hold(std::string_view shortPath, void* file);
    // The file held under shortPath, given up to the caller; INVALID_HANDLE_VALUE when none.
    void* Take(std::string_view shortPath);

private:
    void CloseAll();
    std::deque<std::pair<std::string, void*>> files_;
};
