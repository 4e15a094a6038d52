// A large byte buffer lent to one file's search and then kept for the next: the
// platform's heap maps and unmaps every block this large, and the page faults and
// cache flushes that follow cost a full scan more than searching the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class ScratchBuffer
{
public:
    // At least size bytes, left uninitialised.
    explicit ScratchBuffer(std::size_t size);
    ~ScratchBuffer();
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;

    std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_;
};
