#include "engine/paged_bytes.h"

#include <algorithm>
#include <cstring>
#include <utility>

PagedBytes::PagedBytes(std::uint64_t size, Reader read) : size_(size), read_(std::move(read)) {}

const PagedBytes::Page* PagedBytes::PageAt(std::uint64_t index)
{
    ++uses_;
    for (Page& page : pages_)
        if (page.index == index && !page.bytes.empty())
        {
            page.lastUse = uses_;
            return &page;
        }
    Page* slot = nullptr;
    if (pages_.size() < kHeldPages)
        slot = &pages_.emplace_back();
    else
        slot = &*std::min_element(pages_.begin(), pages_.end(),
                                  [](const Page& a, const Page& b) { return a.lastUse < b.lastUse; });
    const std::uint64_t start = index * kPageSize;
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kPageSize, size_ - start));
    slot->index = index;
    slot->lastUse = uses_;
    // A whole page from the start: a slot that held the file's short last page would
    // otherwise grow into a new buffer, and the pages held would not stay the same few.
    slot->bytes.reserve(kPageSize);
    slot->bytes.resize(length);
    // A short read means the file changed or failed under us: nothing of it is trusted.
    if (read_(start, slot->bytes.data(), length) != length)
    {
        slot->bytes.clear();
        return nullptr;
    }
    return slot;
}

ByteSpan PagedBytes::Fetch(std::uint64_t offset, std::uint64_t n)
{
    if (offset > size_ || n > size_ - offset)
        return {};
    if (n == 0)
        return ByteSpan();
    const std::uint64_t first = offset / kPageSize;
    const std::uint64_t last = (offset + n - 1) / kPageSize;
    if (first == last)
    {
        const Page* page = PageAt(first);
        if (!page)
            return {};
        return ByteSpan(page->bytes.data() + (offset - first * kPageSize), static_cast<std::size_t>(n));
    }
    joined_.resize(static_cast<std::size_t>(n));
    std::uint64_t at = offset;
    while (at < offset + n)
    {
        const std::uint64_t index = at / kPageSize;
        const Page* page = PageAt(index);
        if (!page)
            return {};
        const std::size_t within = static_cast<std::size_t>(at - index * kPageSize);
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(page->bytes.size() - within, offset + n - at));
        std::memcpy(joined_.data() + (at - offset), page->bytes.data() + within, take);
        at += take;
    }
    return ByteSpan(joined_.data(), joined_.size());
}
