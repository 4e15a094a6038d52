// A file's bytes fetched on demand, a page at a time, for readers that look at a few
// scattered places of a large file (headers, a table, the names it points to): the
// file is read where it is looked at, never mapped or read whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "engine/pe_bytes.h"

class PagedBytes
{
public:
    // Reads up to size bytes at offset into buffer and gives the count.
    using Reader = std::function<std::size_t(std::uint64_t offset, std::uint8_t* buffer, std::size_t size)>;

    static constexpr std::size_t kPageSize = 4096;

    PagedBytes(std::uint64_t size, Reader read);

    std::uint64_t Size() const { return size_; }

    // The n bytes at offset, or an empty span when they do not all lie inside the file
    // or cannot be read. The span stays valid while this object lives.
    ByteSpan Fetch(std::uint64_t offset, std::uint64_t n);

private:
    const std::vector<std::uint8_t>* Page(std::uint64_t index);

    std::uint64_t size_;
    Reader read_;
    std::map<std::uint64_t, std::vector<std::uint8_t>> pages_;
    // Bytes that straddle pages, copied whole so that a span over them is contiguous.
    std::deque<std::vector<std::uint8_t>> joined_;
};
