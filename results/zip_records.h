// The records of a ZIP archive (local and central headers, the end records), laid out
// byte by byte, and the rules for when ZIP64 records are needed. Portable: no windows.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What the headers say about one entry, all of it deflated.
struct ZipRecord
{
    std::string name;      // with forward slashes, as stored
    bool utf8Name = false; // the name is UTF-8 (general purpose bit 11)
    bool zip64 = false;    // the local header carries the sizes in a ZIP64 extra field
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t externalAttributes = 0; // the file's DOS attribute byte
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0; // of the local header
};

// Sizes and offsets from here on need ZIP64 fields.
inline constexpr std::uint64_t kZip32Limit = 0xFFFFFFFFu;

// The name an entry is stored under: the path without its drive or leading
// separators, with forward slashes ("C:\WINDOWS\A.DLL" gives "WINDOWS/A.DLL").
std::string ZipStoredName(std::string_view path);

// Whether an entry of this many bytes needs its sizes in ZIP64 fields: the local header
// is written before the data, so the choice allows for what deflate may add to bytes
// that do not compress.
bool ZipEntryNeedsZip64(std::uint64_t size);

// A local header's length for this record: it does not change once data follows it.
std::size_t ZipLocalHeaderSize(const ZipRecord& record);
void AppendZipLocalHeader(std::string& out, const ZipRecord& record);
void AppendZipCentralHeader(std::string& out, const ZipRecord& record);
// The end of central directory record, after a ZIP64 end record and its locator when
// the count, the directory's size or its offset do not fit the classic one.
void AppendZipEndRecords(std::string& out, std::uint64_t count, std::uint64_t directoryOffset,
                         std::uint64_t directorySize);
