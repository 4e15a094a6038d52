#include <windows.h>

#include "engine/reference_scanner.h"

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "engine/distinct_names.h"
#include "engine/module_names.h"
#include "engine/name_list.h"
#include "engine/scan_state.h"
#include "engine/scratch_buffer.h"
#include "feedback/feedback.h"
#include "platform/qemcom95.h"
#include "platform/scoped_handle.h"
#include "engine/filter_entry.h"

namespace
{

constexpr std::size_t kStreamBufferSize = 256 * 1024;

// Searches what read gives into list, with a pump step before every read. Stop clears
// the flag from inside a pump step; comparing with the value on entry rather than with
// 0 also lets the scanner run outside a scan. A file's bytes may name one module a
// million times (".DLL.DLL.DLL..."): the list takes the repeats once.
int SearchInto(NameList& list, const ChunkReader& read, int kind, std::size_t chunkSize, ProgramNames forms)
{
    const unsigned char scanning = g_scanning;
    DistinctNames names(list);
    return SearchModuleNames(
        read,
        [&] {
            PumpStep();
            return g_scanning == scanning;
        },
        [&](std::string_view name) { names.Add(name); }, kind, chunkSize, forms);
}

// How much of an open file is read: only a disk file has an end (a device or a pipe, a
// link to /dev/zero on a host, would be read for ever), and one that grows while it is
// read is read to the size it had when it was opened.
std::uint64_t ReadableSize(HANDLE file)
{
    LARGE_INTEGER length = {};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length))
        return 0;
    return static_cast<std::uint64_t>(length.QuadPart);
}

// At most what is left of left, subtracting what was read.
std::size_t ReadUpTo(std::uint64_t& left, std::size_t size, const ChunkReader& read, std::uint8_t* buffer)
{
    const std::size_t got = left < size ? read(buffer, static_cast<std::size_t>(left)) : read(buffer, size);
    left -= std::min<std::uint64_t>(got, left);
    return got;
}

} // namespace

int ScanForModuleNames(NameList& list, const char* path, int quiet, int kind, ProgramNames forms)
{
    // Outlives the stream that it buffers.
    ScratchBuffer streamBuffer(kStreamBufferSize);
    // A buffered stream, read strictly forward: the chunk overlap needs no seek.
    StreamHandle file(std::fopen(path, "rb"));
    if (!file)
    {
        // Only the walk reads other formats: one that is there but closed to it may name
        // DLLs that will be listed.
        if (kind == FILE_KIND_OTHER && errno != ENOENT)
            g_unreadEntries++;
        if (!quiet)
            QemError(QEM_ERR_SCAN_OPEN);
        return 0;
    }
    std::uint64_t left = ReadableSize(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file.get()))));
    // The chunks are small; each call into the platform is dear, so it is asked for
    // large blocks.
    std::setvbuf(file.get(), reinterpret_cast<char*>(streamBuffer.data()), _IOFBF, streamBuffer.size());
    return SearchInto(
        list,
        [&](std::uint8_t* buffer, std::size_t size) {
            return ReadUpTo(
                left, size,
                [&](std::uint8_t* into, std::size_t n) { return std::fread(into, 1, n, file.get()); },
                buffer);
        },
        kind, kScanChunkSize, forms);
}

int ScanFileForModuleNames(NameList& list, void* file, int kind, ProgramNames forms)
{
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return 0;
    std::uint64_t left = ReadableSize(file);
    if (left == 0)
        return 0;
    // A small file is read whole in one read, into a buffer no larger than it needs.
    const std::size_t chunkSize =
        static_cast<std::size_t>(std::clamp<std::uint64_t>(left + 1, kScanChunkSize, kLargeScanChunkSize));
    return SearchInto(
        list,
        [&](std::uint8_t* buffer, std::size_t size) {
            return ReadUpTo(
                left, size,
                [&](std::uint8_t* into, std::size_t n) -> std::size_t {
                    DWORD read = 0;
                    if (!ReadFile(file, into, static_cast<DWORD>(n), &read, nullptr))
                        return 0;
                    return read;
                },
                buffer);
        },
        kind, chunkSize, forms);
}
