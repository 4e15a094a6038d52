#include "engine/paged_bytes.h"

#include <algorithm>
#include <cstring>
#include <utility>

PagedBytes::PagedBytes(std::uint64_t size, Reader read) : size_(size), read_(std::move(read)) {}

const std::vector<std::uint8_t>* PagedBytes::Page(std::uint64_t index)
{
    auto found = pages_.find(index);
    if (found != pages_.end())
        return &found->second;
    const std::uint64_t start = index * kPageSize;
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kPageSize, size_ - start));
    std::vector<std::uint8_t> page(length);
    // A short read means the file changed or failed under us: nothing of it is trusted.
    if (read_(start, page.data(), length) != length)
        return nullptr;
    return &pages_.emplace(index, std::move(page)).first->second;
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
        const std::vector<std::uint8_t>* page = Page(first);
        if (!page)
            return {};
        return ByteSpan(page->data() + (offset - first * kPageSize), static_cast<std::size_t>(n));
    }
    std::vector<std::uint8_t> joined(static_cast<std::size_t>(n));
    std::uint64_t at = offset;
    while (at < offset + n)
    {
        const std::uint64_t index = at / kPageSize;
        const std::vector<std::uint8_t>* page = Page(index);
        if (!page)
            return {};
        const std::size_t within = static_cast<std::size_t>(at - index * kPageSize);
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(page->size() - within, offset + n - at));
        std::memcpy(joined.data() + (at - offset), page->data() + within, take);
        at += take;
    }
    return joined_.emplace_back(std::move(joined));
}
