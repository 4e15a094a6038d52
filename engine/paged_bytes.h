// A file's bytes fetched on demand, a page at a time, for readers that look at a few
// scattered places of a large file (headers, a table, the names it points to): the
// file is read where it is looked at, never mapped or read whole. A few pages are held,
// the least recently used given up first, so that a reader walking a table of any
// length through a file of any size holds a few kilobytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/pe_bytes.h"

class PagedBytes
{
public:
    // Reads up to size bytes at offset into buffer and gives the count.
    using Reader = std::function<std::size_t(std::uint64_t offset, std::uint8_t* buffer, std::size_t size)>;

    static constexpr std::size_t kPageSize = 4096;
    // The headers, the page of the table being walked and the pages its entries point
    // into stay held while a table is walked, so a file of the usual shape is read
    // page by page once.
    static constexpr std::size_t kHeldPages = 8;

    PagedBytes(std::uint64_t size, Reader read);

    std::uint64_t Size() const { return size_; }

    // The n bytes at offset, or an empty span when they do not all lie inside the file
    // or cannot be read. The span stays valid until the next Fetch.
    ByteSpan Fetch(std::uint64_t offset, std::uint64_t n);

private:
    struct Page
    {
        std::uint64_t index = 0;
        std::uint64_t lastUse = 0;
        std::vector<std::uint8_t> bytes;
    };

    const Page* PageAt(std::uint64_t index);

    std::uint64_t size_;
    Reader read_;
    std::vector<Page> pages_; // at most kHeldPages
    std::uint64_t uses_ = 0;
    // Bytes that straddle pages, copied whole so that a span over them is contiguous.
    std::vector<std::uint8_t> joined_;
};
