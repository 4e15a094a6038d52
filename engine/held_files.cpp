#include "engine/held_files.h"

#include <windows.h>

#include "platform/ascii_case.h"

// A folder's worth: the walk examines the DLLs soon after the program that imports them.
static constexpr std::size_t kMostHeld = 64;

HeldFiles::HeldFiles(HeldFiles&& other) noexcept : files_(std::move(other.files_))
{
    other.files_.clear();
}

HeldFiles& HeldFiles::operator=(HeldFiles&& other) noexcept
{
    if (this != &other)
    {
        CloseAll();
        files_ = std::move(other.files_);
        other.files_.clear();
    }
    return *this;
}

HeldFiles::~HeldFiles()
{
    CloseAll();
}

void HeldFiles::CloseAll()
{
    for (auto& held : files_)
        CloseHandle(held.second);
    files_.clear();
}

void HeldFiles::Hold(std::string_view shortPath, void* file)
{
    if (files_.size() >= kMostHeld)
    {
        CloseHandle(files_.front().second);
        files_.pop_front();
    }
    files_.emplace_back(std::string(shortPath), file);
}

void* HeldFiles::Take(std::string_view shortPath)
{
    for (auto held = files_.begin(); held != files_.end(); ++held)
        if (EqualsIgnoringCase(held->first, shortPath))
        {
            void* file = held->second;
            files_.erase(held);
            return file;
        }
    return INVALID_HANDLE_VALUE;
}
