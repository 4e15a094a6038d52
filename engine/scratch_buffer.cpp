#include "engine/scratch_buffer.h"

#include <utility>

namespace
{

// The buffer kept between uses. A use that finds it lent (a search started from inside
// another one's pump step) gets one of its own; the larger of the two is kept.
std::unique_ptr<std::uint8_t[]> s_kept;
std::size_t s_keptSize = 0;

} // namespace

ScratchBuffer::ScratchBuffer(std::size_t size) : size_(size)
{
    if (s_kept && s_keptSize >= size)
    {
        bytes_ = std::move(s_kept);
        size_ = std::exchange(s_keptSize, 0);
    }
    else
        bytes_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
}

ScratchBuffer::~ScratchBuffer()
{
    if (!s_kept || s_keptSize < size_)
    {
        s_kept = std::move(bytes_);
        s_keptSize = size_;
    }
}
