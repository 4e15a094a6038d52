// The reference the chunked module-name search is checked against, by the tests and
// the differential fuzz target: the same search over bytes held whole, with no reads.
// For kinds 1 and 2 there are no chunks either; for kind 0 the chunks start where a
// file repositioned for every overlap would be read, so both searches find the same
// names in the same order for every kind.
#pragma once

#include <algorithm>
#include <cstring>

#include "engine/filter_entry.h"
#include "engine/module_names.h"

enum class DllMatch
{
    None,
    Cut, // the bytes end before a byte of ".DLL" fails
    Whole,
};

// ".DLL" in any case at bytes[pos], looked at up to the first byte that fails.
inline DllMatch MatchDllAt(ByteSpan bytes, std::size_t pos)
{
    static constexpr char kSuffix[] = ".DLL";
    for (std::size_t i = 0; i < 4; ++i)
    {
        if (pos + i >= bytes.size())
            return DllMatch::Cut;
        const std::uint8_t c = bytes[pos + i];
        if ((c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) != kSuffix[i])
            return DllMatch::None;
    }
    return DllMatch::Whole;
}

// Kind 0 over bytes held whole, in the file's chunks of kScanChunkSize bytes: each
// starts where the one before ended, or 8 bytes in front of the '.' of the match that
// asked for an overlap, as a file repositioned there would be read.
inline int SearchWholeText(ByteSpan bytes, const ModuleNameSink& sink)
{
    bool found = false;
    std::size_t start = 0;
    std::size_t from = 0;
    for (bool first = true;; first = false)
    {
        const std::size_t length = std::min(kScanChunkSize, bytes.size() - start);
        if (length == 0)
            break;
        const ByteSpan chunk = bytes.subspan(start, length);
        std::size_t overlap = length;
        for (std::size_t pos = from; pos < length && overlap == length; ++pos)
        {
            if (chunk[pos] != '.')
                continue;
            const DllMatch match = MatchDllAt(chunk, pos);
            if (match == DllMatch::Cut && length == kScanChunkSize)
                overlap = pos;
            else if (match == DllMatch::Whole && pos < kShortModuleName && !first)
                overlap = pos;
            else if (match == DllMatch::Whole && pos >= kShortModuleName &&
                     ExtractModuleName(sink, chunk, pos, FILE_KIND_OTHER))
                found = true;
        }
        if (overlap < length)
        {
            start = start + overlap - kShortModuleName;
            from = kShortModuleName;
        }
        else if (length < kScanChunkSize)
            break;
        else
        {
            start += kScanChunkSize;
            from = 0;
        }
    }
    return found ? 1 : 0;
}

// ".DLL" in UTF-16 at bytes[pos]: each letter, in any case, followed by a zero byte.
inline bool MatchWideDllAt(ByteSpan bytes, std::size_t pos)
{
    static constexpr char kSuffix[] = ".DLL";
    if (pos + 8 > bytes.size())
        return false;
    for (std::size_t i = 0; i < 4; ++i)
    {
        const std::uint8_t c = bytes[pos + 2 * i];
        if ((c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) != kSuffix[i] || bytes[pos + 2 * i + 1] != 0)
            return false;
    }
    return true;
}

// 1 when at least one name was handed on, as SearchModuleNames answers.
inline int SearchWholeModuleNames(ByteSpan bytes, const ModuleNameSink& sink, int kind,
                                  ProgramNames forms = ProgramNames::EightCharacters)
{
    if (kind == FILE_KIND_OTHER)
        return SearchWholeText(bytes, sink);
    bool found = false;
    for (std::size_t dot = kShortModuleName; dot + 4 <= bytes.size(); ++dot)
    {
        const void* next = std::memchr(bytes.data() + dot, '.', bytes.size() - dot);
        if (!next)
            break;
        dot = static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - bytes.data());
        const bool ascii = MatchDllAt(bytes, dot) == DllMatch::Whole;
        const bool wide = !ascii && forms == ProgramNames::AlsoLongAndWide && MatchWideDllAt(bytes, dot);
        if ((ascii || wide) && ExtractProgramNames(sink, bytes, dot, kind, forms, wide))
            found = true;
    }
    return found ? 1 : 0;
}
