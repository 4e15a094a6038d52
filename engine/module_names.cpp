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

// The bytes in front of a match that its name may take: the longest name, in UTF-16
// for the modern reading.
constexpr std::size_t kLongModuleContext = 2 * kLongModuleName;
// A '.' whose "DLL" the end of a full read cuts off waits for the next read with the
// context in front of it, and ".DLL" in UTF-16 is 8 bytes long.
constexpr std::size_t kMaxCarry = kLongModuleContext + 7;

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

// The modern reading's program names: every byte a file name may hold but the blank,
// which in a program's messages stands in front of a name far more often than in one.
constexpr CharacterTable MakeFileNameTable()
{
    CharacterTable table{};
    for (int c = 0x21; c < 256; ++c)
        table[c] = std::string_view("\"*/:<>?\\|").find(static_cast<char>(c)) == std::string_view::npos;
    return table;
}
constexpr CharacterTable kFileNameTable = MakeFileNameTable();

std::size_t ContextOf(ProgramNames forms)
{
    return forms == ProgramNames::AlsoLongAndWide ? kLongModuleContext : kShortModuleName;
}

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

// ".DLL" written in UTF-16, any case, at bytes[pos], tested as MatchDll tests.
Match MatchWideDll(ByteSpan bytes, std::size_t pos)
{
    for (std::size_t i = 0; i < 2 * kDllSuffix.size(); ++i)
    {
        if (pos + i >= bytes.size())
            return Match::Cut;
        const std::uint8_t expected = i % 2 ? 0 : kDllSuffix[i / 2];
        if (UpperAscii(bytes[pos + i]) != expected)
            return Match::None;
    }
    return Match::Whole;
}

// The match at bytes[pos] in either reading; wide tells which form matched.
Match MatchProgramDll(ByteSpan bytes, std::size_t pos, ProgramNames forms, bool& wide)
{
    wide = false;
    const Match match = MatchDll(bytes, pos);
    if (match != Match::None || forms == ProgramNames::EightCharacters)
        return match;
    wide = true;
    return MatchWideDll(bytes, pos);
}

// The character of the code unit count units in front of dot (step bytes each), or 0
// for a UTF-16 unit that is not ASCII. count * step <= dot.
std::uint8_t CharacterBefore(ByteSpan chunk, std::size_t dot, std::size_t count, std::size_t step)
{
    const std::size_t at = dot - count * step;
    return step == 2 && chunk[at + 1] != 0 ? 0 : chunk[at];
}

// The name in front of the '.' at chunk[dot], of at most limit code units of step bytes
// that accepted takes, written to name; empty when the match yields none.
std::string_view NameBefore(ByteSpan chunk, std::size_t dot, int kind, const CharacterTable& accepted,
                            std::size_t limit, std::size_t step, char (&name)[kMaxModuleEntry])
{
    if (dot >= chunk.size())
        return {};
    limit = std::min(limit, dot / step);
    std::size_t n = 0;
    while (n < limit && accepted[CharacterBefore(chunk, dot, n + 1, step)])
        ++n;
    if (n == 0)
        return {};
    // "%s.DLL", "%lu.DLL": a format string's placeholder, not a name.
    if (n < 4 && n < dot / step && CharacterBefore(chunk, dot, n + 1, step) == '%')
        return {};

    // Digits in front of a name are a number run into it, not part of it.
    std::size_t first = n; // counted back from dot
    while (first > 0 && IsDigit(CharacterBefore(chunk, dot, first, step)))
        --first;
    if (first == 0)
        return {};
    if (kind == FILE_KIND_OTHER && first + kDllSuffix.size() > kMaxModuleEntry)
        return {};

    std::size_t size = 0;
    for (std::size_t i = first; i > 0; --i)
        name[size++] = UpperAscii(CharacterBefore(chunk, dot, i, step));
    if (kind == FILE_KIND_OTHER)
        for (char c : kDllSuffix)
            name[size++] = c;
    return std::string_view(name, size);
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
std::size_t ExamineChunk(ByteSpan chunk, bool first, const ModuleNameSink& sink, int kind, ProgramNames forms,
                         bool& found)
{
    // Below it lie the file's first 8 bytes, where no name fits in front of a '.', or
    // the carry, whose positions the chunk before examined.
    const std::size_t examined = first ? kShortModuleName : ContextOf(forms);
    for (std::size_t pos = 0; pos < chunk.size(); ++pos)
    {
        pos = FindDot(chunk, pos);
        if (pos == chunk.size())
            break;
        bool wide = false;
        Match match = MatchProgramDll(chunk, pos, forms, wide);
        if (match == Match::Cut)
            return pos;
        if (match == Match::Whole && pos >= examined &&
            ExtractProgramNames(sink, chunk, pos, kind, forms, wide))
            found = true;
    }
    return chunk.size();
}

} // namespace

int ExtractModuleName(const ModuleNameSink& sink, ByteSpan chunk, std::size_t dot, int kind)
{
    char name[kMaxModuleEntry]; // the longest entry a name list takes
    const std::string_view found =
        kind == FILE_KIND_OTHER ? NameBefore(chunk, dot, kind, kLongNameTable, kLongModuleWalk, 1, name)
                                : NameBefore(chunk, dot, kind, kShortNameTable, kShortModuleName, 1, name);
    if (found.empty())
        return 0;
    sink(found);
    return 1;
}

int ExtractProgramNames(const ModuleNameSink& sink, ByteSpan chunk, std::size_t dot, int kind,
                        ProgramNames forms, bool wide)
{
    if (forms == ProgramNames::EightCharacters)
        return ExtractModuleName(sink, chunk, dot, kind);
    char name[kMaxModuleEntry];
    if (wide)
    {
        const std::string_view found = NameBefore(chunk, dot, kind, kFileNameTable, kLongModuleName, 2, name);
        if (!found.empty())
            sink(found);
        return found.empty() ? 0 : 1;
    }
    char shortName[kMaxModuleEntry];
    const std::string_view eight =
        NameBefore(chunk, dot, kind, kShortNameTable, kShortModuleName, 1, shortName);
    const std::string_view whole = NameBefore(chunk, dot, kind, kFileNameTable, kLongModuleName, 1, name);
    if (!eight.empty())
        sink(eight);
    if (!whole.empty() && whole != eight)
        sink(whole);
    return eight.empty() && whole.empty() ? 0 : 1;
}

int SearchModuleNames(const ChunkReader& read, const ChunkGate& gate, const ModuleNameSink& sink, int kind,
                      std::size_t chunkSize, ProgramNames forms)
{
    if (kind == FILE_KIND_OTHER)
        return SearchTextChunks(read, gate, sink, chunkSize);
    const std::size_t context = ContextOf(forms);
    if (forms == ProgramNames::AlsoLongAndWide)
        chunkSize = std::max(chunkSize, kMaxCarry + 9);
    // Left uninitialised: only the bytes read are ever looked at, and clearing a large
    // buffer for every small file would cost more than reading it.
    ScratchBuffer buffer(kMaxCarry + chunkSize);
    std::size_t carried = 0; // bytes kept in front of the next read
    bool found = false;
    for (bool first = true;; first = false)
    {
        if (!gate())
            return 0;
        const std::size_t got = std::min(read(buffer.data() + carried, chunkSize), chunkSize);
        if (got == 0)
            break;
        ByteSpan chunk(buffer.data(), carried + got);
        const std::size_t rest = ExamineChunk(chunk, first, sink, kind, forms, found);
        // A short read is the file's last: a match it cuts is dropped.
        if (got < chunkSize)
            break;
        // rest is at least the read's size - 7, so the context in front of it is in
        // the chunk, and it becomes the next chunk's first bytes.
        const std::size_t keep = rest - context;
        carried = chunk.size() - keep;
        std::memmove(buffer.data(), buffer.data() + keep, carried);
    }
    return found ? 1 : 0;
}
