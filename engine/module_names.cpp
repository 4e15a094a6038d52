#include "engine/module_names.h"

#include "engine/filter_entry.h"
#include "engine/scratch_buffer.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace
{

// A '.' whose "DLL" the end of a full read cuts off waits for the next read with the
// 8 bytes in front of it, so at most 8 + 3 bytes are carried.
constexpr std::size_t kMaxCarry = kShortModuleName + 3;

constexpr std::string_view kDllSuffix = ".DLL";

// Accepted besides the ASCII letters and digits: kinds 1 and 2 take the first nine,
// kind 0 also '\' and ':' so that a name in a text may carry a drive and directory.
constexpr std::string_view kNameCharacters = "#^$~!_&-@\\:";
constexpr std::size_t kShortNameCharacters = 9;

using CharacterTable = std::array<bool, 256>;

constexpr CharacterTable MakeNameTable(std::string_view accepted)
{
    CharacterTable table{};
    for (int c = 0; c < 256; ++c)
        table[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    for (char c : accepted)
        table[static_cast<unsigned char>(c)] = true;
    return table;
}

constexpr CharacterTable kLongNameTable = MakeNameTable(kNameCharacters);
constexpr CharacterTable kShortNameTable = MakeNameTable(kNameCharacters.substr(0, kShortNameCharacters));

bool IsDigit(std::uint8_t c)
{
    return c >= '0' && c <= '9';
}

enum class Match
{
    None,
    Cut, // the bytes end before a byte of ".DLL" fails
    Whole,
};

// ".DLL" in any case at bytes[pos]; the test stops at the first byte that fails, and
// what follows the match is not looked at.
Match MatchDll(ByteSpan bytes, std::size_t pos)
{
    for (std::size_t i = 0; i < kDllSuffix.size(); ++i)
    {
        if (pos + i >= bytes.size())
            return Match::Cut;
        if (UpperAscii(bytes[pos + i]) != kDllSuffix[i])
            return Match::None;
    }
    return Match::Whole;
}

} // namespace

std::size_t FindDotByWords(ByteSpan bytes, std::size_t from)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    constexpr std::uint64_t kDots = kOnes * '.';
    std::size_t at = from;
    for (; at + 8 <= bytes.size(); at += 8)
    {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + at, sizeof word);
        const std::uint64_t x = word ^ kDots;
        // Nonzero exactly when one of the eight bytes of x is zero, a '.' in word.
        if ((x - kOnes) & ~x & kHighs)
            break;
    }
    for (; at < bytes.size(); ++at)
        if (bytes[at] == '.')
            return at;
    return bytes.size();
}

#if defined(__i386__) || defined(__x86_64__)

namespace
{

// The 32-bit build may not assume SSE2, so this is compiled for it on its own and
// chosen only where the processor has it.
__attribute__((target("sse2"))) std::size_t FindDotBy32(ByteSpan bytes, std::size_t from)
{
    const __m128i dots = _mm_set1_epi8('.');
    std::size_t at = from;
    for (; at + 32 <= bytes.size(); at += 32)
    {
        const auto* block = reinterpret_cast<const __m128i*>(bytes.data() + at);
        const __m128i low = _mm_cmpeq_epi8(_mm_loadu_si128(block), dots);
        const __m128i high = _mm_cmpeq_epi8(_mm_loadu_si128(block + 1), dots);
        if (_mm_movemask_epi8(_mm_or_si128(low, high)) != 0)
        {
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(low)) |
                                  static_cast<unsigned>(_mm_movemask_epi8(high)) << 16;
            return at + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
    return FindDotByWords(bytes, at);
}

bool HasSse2()
{
#ifdef __SSE2__
    return true;
#else
    return __builtin_cpu_supports("sse2");
#endif
}

} // namespace

std::size_t FindDot(ByteSpan bytes, std::size_t from)
{
    return HasSse2() ? FindDotBy32(bytes, from) : FindDotByWords(bytes, from);
}

#else

std::size_t FindDot(ByteSpan bytes, std::size_t from)
{
    return FindDotByWords(bytes, from);
}

#endif

namespace
{

// Examines a chunk of kind 0 from position from on and gives the '.' of the first match
// that asks for an overlap, else the chunk's size: a match that the end of a full chunk
// cuts, or a whole one fewer than 8 bytes into a chunk after the file's first. A match
// that the end of the file's last chunk cuts is dropped.
std::size_t ExamineTextChunk(ByteSpan chunk, std::size_t from, bool first, bool full,
                             const ModuleNameSink& sink, bool& found)
{
    for (std::size_t pos = from; pos < chunk.size(); ++pos)
    {
        pos = FindDot(chunk, pos);
        if (pos == chunk.size())
            break;
        Match match = MatchDll(chunk, pos);
        if (match == Match::Cut && full)
            return pos;
        if (match != Match::Whole)
            continue;
        if (pos < kShortModuleName)
        {
            if (first)
                continue;
            return pos;
        }
        if (ExtractModuleName(sink, chunk, pos, FILE_KIND_OTHER))
            found = true;
    }
    return chunk.size();
}

// Kind 0, whose names may run back to their chunk's first byte: the chunks are exactly
// those of a file read chunkSize bytes at a time and repositioned only where a match
// asks for an overlap. The chunk after an overlap starts 8 bytes in front of the
// match's '.' and is examined from that '.' on, the bytes before it having been
// examined; every other chunk follows the one before directly. The file is still read
// strictly forward, the bytes an overlap goes back over being kept from the chunk
// before.
int SearchTextChunks(const ChunkReader& read, const ChunkGate& gate, const ModuleNameSink& sink,
                     std::size_t chunkSize)
{
    ScratchBuffer buffer(kShortModuleName + chunkSize);
    std::size_t begin = 0; // the chunk's first byte in buffer
    std::size_t held = 0;  // bytes of the file in buffer, from its start
    std::size_t from = 0;  // the chunk's first position not yet examined
    bool first = true;
    bool ended = false;
    bool found = false;
    for (;;)
    {
        if (!gate())
            return 0;
        if (!ended && held < begin + chunkSize)
        {
            const std::size_t wanted = begin + chunkSize - held;
            const std::size_t got = std::min(read(buffer.data() + held, wanted), wanted);
            ended = got < wanted;
            held += got;
        }
        // After an overlap that went back into the chunk before, more than a chunk is held.
        const ByteSpan chunk(buffer.data() + begin, std::min(held - begin, chunkSize));
        if (chunk.empty())
            break;
        const bool full = chunk.size() == chunkSize;
        const std::size_t overlap = ExamineTextChunk(chunk, from, first, full, sink, found);
        std::size_t next = begin + chunkSize;
        from = 0;
        if (overlap < chunk.size())
        {
            next = begin + overlap - kShortModuleName;
            from = kShortModuleName;
        }
        else if (!full)
            break;
        first = false;
        // A match just behind the next chunk's first byte takes its overlap from the 8
        // bytes in front of it.
        const std::size_t keep = std::min(next, kShortModuleName);
        std::memmove(buffer.data(), buffer.data() + next - keep, held - (next - keep));
        held -= next - keep;
        begin = keep;
    }
    return found ? 1 : 0;
}

// Examines chunk and gives the first index left for the next chunk: the '.' of a match
// cut by the chunk's end, else the chunk's size.
std::size_t ExamineChunk(ByteSpan chunk, const ModuleNameSink& sink, int kind, bool& found)
{
    for (std::size_t pos = 0; pos < chunk.size(); ++pos)
    {
        pos = FindDot(chunk, pos);
        if (pos == chunk.size())
            break;
        Match match = MatchDll(chunk, pos);
        if (match == Match::Cut)
            return pos;
        // Below 8 lie the file's first 8 bytes, where no name fits in front of a '.',
        // or the carry, whose positions the chunk before examined.
        if (match == Match::Whole && pos >= kShortModuleName && ExtractModuleName(sink, chunk, pos, kind))
            found = true;
    }
    return chunk.size();
}

} // namespace

int ExtractModuleName(const ModuleNameSink& sink, ByteSpan chunk, std::size_t dot, int kind)
{
    if (dot >= chunk.size())
        return 0;
    const CharacterTable& accepted = kind == FILE_KIND_OTHER ? kLongNameTable : kShortNameTable;
    const std::size_t limit = std::min(dot, kind == FILE_KIND_OTHER ? kLongModuleWalk : kShortModuleName);
    std::size_t n = 0;
    while (n < limit && accepted[chunk[dot - n - 1]])
        ++n;
    if (n == 0)
        return 0;
    // "%s.DLL", "%lu.DLL": a format string's placeholder, not a name.
    if (n < 4 && n < dot && chunk[dot - n - 1] == '%')
        return 0;

    // Digits in front of a name are a number run into it, not part of it.
    std::size_t first = dot - n;
    while (first < dot && IsDigit(chunk[first]))
        ++first;
    if (first == dot)
        return 0;
    const std::size_t length = dot - first;
    if (kind == FILE_KIND_OTHER && length + kDllSuffix.size() > kMaxModuleEntry)
        return 0;

    char name[kMaxModuleEntry]; // the longest entry a name list takes
    std::size_t size = 0;
    for (std::size_t i = first; i < dot; ++i)
        name[size++] = UpperAscii(chunk[i]);
    if (kind == FILE_KIND_OTHER)
        for (char c : kDllSuffix)
            name[size++] = c;
    sink(std::string_view(name, size));
    return 1;
}

int SearchModuleNames(const ChunkReader& read, const ChunkGate& gate, const ModuleNameSink& sink, int kind,
                      std::size_t chunkSize)
{
    if (kind == FILE_KIND_OTHER)
        return SearchTextChunks(read, gate, sink, chunkSize);
    // Left uninitialised: only the bytes read are ever looked at, and clearing a large
    // buffer for every small file would cost more than reading it.
    ScratchBuffer buffer(kMaxCarry + chunkSize);
    std::size_t carried = 0; // bytes kept in front of the next read
    bool found = false;
    for (;;)
    {
        if (!gate())
            return 0;
        const std::size_t got = std::min(read(buffer.data() + carried, chunkSize), chunkSize);
        if (got == 0)
            break;
        ByteSpan chunk(buffer.data(), carried + got);
        const std::size_t rest = ExamineChunk(chunk, sink, kind, found);
        // A short read is the file's last: a match it cuts is dropped.
        if (got < chunkSize)
            break;
        // rest is at least the read's size - 3, so the 8 bytes in front of it are in
        // the chunk, and they become the next chunk's first 8.
        const std::size_t keep = rest - kShortModuleName;
        carried = chunk.size() - keep;
        std::memmove(buffer.data(), buffer.data() + keep, carried);
    }
    return found ? 1 : 0;
}
