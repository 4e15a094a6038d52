#include "results/zip_records.h"

#include <algorithm>

namespace
{

constexpr std::uint16_t kVersionDeflate = 20;
constexpr std::uint16_t kVersionZip64 = 45;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kFlagUtf8Name = 0x0800;
constexpr std::uint16_t kZip64ExtraTag = 0x0001;
constexpr std::uint16_t kMaxCount16 = 0xFFFF;

void Put16(std::string& out, std::uint64_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint64_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, (value >> 16) & 0xFFFF);
}

void Put64(std::string& out, std::uint64_t value)
{
    Put32(out, value & 0xFFFFFFFFu);
    Put32(out, value >> 32);
}

std::uint32_t Clamp32(std::uint64_t value)
{
    return static_cast<std::uint32_t>(std::min(value, kZip32Limit));
}

std::uint16_t Flags(const ZipRecord& record)
{
    return record.utf8Name ? kFlagUtf8Name : 0;
}

// The fields both headers share, from "version needed" through the name's length.
void PutCommonFields(std::string& out, const ZipRecord& record, std::uint16_t version,
                     std::uint64_t compressed, std::uint64_t size)
{
    Put16(out, version);
    Put16(out, Flags(record));
    Put16(out, kMethodDeflate);
    Put16(out, record.dosTime);
    Put16(out, record.dosDate);
    Put32(out, record.crc);
    Put32(out, Clamp32(compressed));
    Put32(out, Clamp32(size));
    Put16(out, record.name.size());
}

} // namespace

std::string ZipStoredName(std::string_view path)
{
    if (path.size() >= 2 && path[1] == ':')
        path.remove_prefix(2);
    while (!path.empty() && (path.front() == '\\' || path.front() == '/'))
        path.remove_prefix(1);
    std::string name(path);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

bool ZipEntryNeedsZip64(std::uint64_t size)
{
    // zlib's compressBound: stored blocks cost five bytes in every 16 KB at worst.
    const std::uint64_t bound = size + (size >> 12) + (size >> 14) + (size >> 25) + 13;
    return bound >= kZip32Limit;
}

std::size_t ZipLocalHeaderSize(const ZipRecord& record)
{
    return 30 + record.name.size() + (record.zip64 ? 20 : 0);
}

void AppendZipLocalHeader(std::string& out, const ZipRecord& record)
{
    Put32(out, 0x04034b50);
    const std::uint64_t sizeField = record.zip64 ? kZip32Limit : record.size;
    const std::uint64_t compressedField = record.zip64 ? kZip32Limit : record.compressedSize;
    PutCommonFields(out, record, record.zip64 ? kVersionZip64 : kVersionDeflate, compressedField, sizeField);
    Put16(out, record.zip64 ? 20 : 0);
    out += record.name;
    if (!record.zip64)
        return;
    Put16(out, kZip64ExtraTag);
    Put16(out, 16);
    Put64(out, record.size);
    Put64(out, record.compressedSize);
}

void AppendZipCentralHeader(std::string& out, const ZipRecord& record)
{
    // The central header follows its local one: sizes in the extra field there, here
    // too. Each field in the extra stands for one that reads 0xFFFFFFFF, in this order.
    const bool sizes64 = record.zip64 || record.size >= kZip32Limit || record.compressedSize >= kZip32Limit;
    const bool offset64 = record.offset >= kZip32Limit;
    const std::uint16_t extraSize = (sizes64 ? 16 : 0) + (offset64 ? 8 : 0);
    const std::uint16_t version = extraSize ? kVersionZip64 : kVersionDeflate;

    Put32(out, 0x02014b50);
    Put16(out, version); // made by: MS-DOS attributes
    PutCommonFields(out, record, version, sizes64 ? kZip32Limit : record.compressedSize,
                    sizes64 ? kZip32Limit : record.size);
    Put16(out, extraSize ? extraSize + 4 : 0);
    Put16(out, 0); // comment
    Put16(out, 0); // disk
    Put16(out, 0); // internal attributes
    Put32(out, record.externalAttributes);
    Put32(out, Clamp32(record.offset));
    out += record.name;
    if (!extraSize)
        return;
    Put16(out, kZip64ExtraTag);
    Put16(out, extraSize);
    if (sizes64)
    {
        Put64(out, record.size);
        Put64(out, record.compressedSize);
    }
    if (offset64)
        Put64(out, record.offset);
}

void AppendZipEndRecords(std::string& out, std::uint64_t count, std::uint64_t directoryOffset,
                         std::uint64_t directorySize)
{
    if (count >= kMaxCount16 || directoryOffset >= kZip32Limit || directorySize >= kZip32Limit)
    {
        const std::uint64_t zip64EndOffset = directoryOffset + directorySize;
        Put32(out, 0x06064b50);
        Put64(out, 44); // the record's size after this field
        Put16(out, kVersionZip64);
        Put16(out, kVersionZip64);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, count);
        Put64(out, count);
        Put64(out, directorySize);
        Put64(out, directoryOffset);
        Put32(out, 0x07064b50);
        Put32(out, 0);
        Put64(out, zip64EndOffset);
        Put32(out, 1);
    }
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, std::min<std::uint64_t>(count, kMaxCount16));
    Put16(out, std::min<std::uint64_t>(count, kMaxCount16));
    Put32(out, Clamp32(directorySize));
    Put32(out, Clamp32(directoryOffset));
    Put16(out, 0); // comment
}
