// The search for module names in a file's bytes: every ".DLL" (any case) and the run
// of name characters in front of it. The portable half of ScanForModuleNames
// (engine/reference_scanner.h opens the file, pumps and files the names).
//
// The file kind decides what a name is:
// - 0, other file format: up to 260 characters in front of the '.', including '\' and
//   ':' so that a drive and directory come along, but never past the chunk's first
//   byte; the entry is the name in upper case followed by ".DLL".
// - 1, executable, and 2, DLL: up to 8 characters; the entry is the bare name in upper
//   case.
// In both, a run of fewer than 4 characters after a '%' is a format placeholder and
// yields nothing, and leading digits are dropped.
//
// With ProgramNames::AlsoLongAndWide (the modern reading), kinds 1 and 2 also take
// names of up to 251 characters, stopping at the first character that cannot be in a
// file name or at a blank, and names written in UTF-16 (".\0D\0L\0L\0" with ASCII code
// units in front): programs load "libglib-2.0-0.dll" or L"avrt.dll" so. A run longer
// than 8 characters gives its eight-character name too, as the other reading would, so
// that a name run into the bytes in front of it is not lost. The carry then keeps the
// 502 bytes in front of the first position left unexamined, and a '.' in the first
// chunk yields a name from the file's ninth byte on, as in the other reading.
//
// Chunks and their overlap. The file is read sequentially and never repositioned.
// Kinds 1 and 2: each read lands in the chunk buffer behind a carry: the 8 bytes in
// front of the first position the previous chunk left unexamined, and the bytes from
// that position on (8 to 11 bytes in all; none before the first read). A chunk leaves
// unexamined only its end, or a '.' followed by the start of "DLL" that the end of a
// full read cuts off (".", ".D", ".DL"). So
// - the first 8 bytes of every chunk after the first are the carry, which the chunk
//   before examined, and a match yields a name only with its '.' at index 8 or
//   later: every match is taken once, in a chunk that holds the 8 bytes in front of
//   it, so no match is lost or taken twice at a boundary, a name is never cut by one,
//   and the chunked search finds exactly what a search over the whole file finds;
// - every read takes new bytes, so a file ends after size / 3072 + 1 reads whatever
//   its bytes (a file of ".DLL" repeated a million times included);
// - a '.' in the file's first 8 bytes never yields a name (no 8 bytes in front of it).
// Kind 0: a chunk is 3072 bytes of the file, and the next one follows it directly
// unless a match asks for an overlap: one that the end of a full chunk cuts, or a whole
// one whose '.' lies fewer than 8 bytes into a chunk after the file's first. The rest
// of the chunk is then given up, and the next chunk starts 8 bytes in front of that
// '.', its bytes before the '.' already examined. A name crossing a boundary is cut
// there, or keeps 8 characters when its '.' lies just behind it; a '.' in the file's
// first 8 bytes never yields a name either. Every chunk starts further on than the one
// before, so no input makes the search loop.
//
// Names of kind 0 that would not fit an entry of a name list (more than 255
// characters before ".DLL", after the leading digits are gone) are dropped, not cut:
// no path the platform can open is that long, and a cut path would name another file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/pe_bytes.h"

// Bytes asked for by each read of the file.
inline constexpr std::size_t kScanChunkSize = 3072;
// A read size for kinds 1 and 2, whose names are found alike whatever the read size.
inline constexpr std::size_t kLargeScanChunkSize = 256 * 1024;
// Name characters taken in front of the '.' for kinds 1 and 2; also the context kept
// in front of a match across a chunk boundary.
inline constexpr std::size_t kShortModuleName = 8;
// Longest name kinds 1 and 2 take in the modern reading: a file name holds at most 255
// characters, ".DLL" included.
inline constexpr std::size_t kLongModuleName = 251;
// Most characters the walk takes for kind 0.
inline constexpr std::size_t kLongModuleWalk = 260;
// Longest entry a name of kind 0 may make, ".DLL" included.
inline constexpr std::size_t kMaxModuleEntry = 259;

// Which names kinds 1 and 2 take.
enum class ProgramNames
{
    EightCharacters, // ASCII names of at most 8 characters
    AlsoLongAndWide, // and longer ones, and ones written in UTF-16
};

// Receives every name found, in file order: upper case, without NUL bytes.
using ModuleNameSink = std::function<void(std::string_view name)>;
// Reads up to size bytes, the next ones of the file, into buffer and gives the count;
// fewer than size ends the file (its end, or a read error).
using ChunkReader = std::function<std::size_t(std::uint8_t* buffer, std::size_t size)>;
// Runs before every read; false stops the search.
using ChunkGate = std::function<bool()>;

// The position of the first '.' of bytes at or after from, or bytes.size(). Every byte
// of a file passes here when Quick Scan is off, and the platform's own memchr looks at
// one at a time: this looks at 32 where the processor has SSE2, else at eight.
std::size_t FindDot(ByteSpan bytes, std::size_t from);
// The eight-byte search alone, which FindDot falls back on.
std::size_t FindDotByWords(ByteSpan bytes, std::size_t from);

// Takes the name in front of the match whose '.' is chunk[dot] and hands it to sink.
// dot should be 8 or more. 1 when a name was handed on, 0 when the match yields none.
int ExtractModuleName(const ModuleNameSink& sink, ByteSpan chunk, std::size_t dot, int kind);
// The same for kinds 1 and 2 in either reading; wide when the match is ".DLL" written
// in UTF-16, which only the modern reading looks for. 1 when a name was handed on.
int ExtractProgramNames(const ModuleNameSink& sink, ByteSpan chunk, std::size_t dot, int kind,
                        ProgramNames forms, bool wide);

// The chunked search of a whole file, in reads of chunkSize bytes (at least 16). 1 when
// at least one name was handed on, 0 when none was or when gate stopped the search
// (names handed on before that stand). For kinds 1 and 2 the names found are the same
// for every chunk size (the modern reading reads at least 518 bytes at a time); for
// kind 0 the chunks are of chunkSize bytes, as above.
int SearchModuleNames(const ChunkReader& read, const ChunkGate& gate, const ModuleNameSink& sink, int kind,
                      std::size_t chunkSize = kScanChunkSize,
                      ProgramNames forms = ProgramNames::EightCharacters);
