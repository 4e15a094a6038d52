// A fuzz input read through PagedBytes, as the scan reads a file, recording the
// buffers the pages land in: a target checks that only a few are ever held.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/paged_bytes.h"

inline PagedBytes PagedInput(const std::uint8_t* data, std::size_t size,
                             std::vector<const std::uint8_t*>& buffers)
{
    return PagedBytes(size, [data, &buffers](std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
        bool known = false;
        for (const std::uint8_t* b : buffers)
            known = known || b == buffer;
        if (!known)
            buffers.push_back(buffer);
        std::memcpy(buffer, data + offset, count);
        return count;
    });
}
