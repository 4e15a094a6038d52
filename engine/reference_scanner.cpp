#include <windows.h>

#include "engine/reference_scanner.h"

#include <algorithm>
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

namespace
{

constexpr std::size_t kStreamBufferSize = 256 * 1024;

// Searches what read gives into list, with a pump step before every read. Stop clears
// the flag from inside a pump step; comparing with the value on entry rather than with
// 0 also lets the scanner run outside a scan. A file's bytes may name one module a
// million times (".DLL.DLL.DLL..."): the list takes the repeats once.
int SearchInto(NameList& list, const ChunkReader& read, int kind, std::size_t chunkSize)
{
    const unsigned char scanning = g_scanning;
    DistinctNames names(list);
    return SearchModuleNames(
        read,
        [&] {
            PumpStep();
            return g_scanning == scanning;
        },
        [&](std::string_view name) { names.Add(name); }, kind, chunkSize);
}

} // namespace

int ScanForModuleNames(NameList& list, const char* path, int quiet, int kind)
{
    // Outlives the stream that it buffers.
    ScratchBuffer streamBuffer(kStreamBufferSize);
    // A buffered stream, read strictly forward: the chunk overlap needs no seek.
    StreamHandle file(std::fopen(path, "rb"));
    if (!file)
    {
        if (!quiet)
            QemError(QEM_ERR_SCAN_OPEN);
        return 0;
    }
    // The chunks are small; each call into the platform is dear, so it is asked for
    // large blocks.
    std::setvbuf(file.get(), reinterpret_cast<char*>(streamBuffer.data()), _IOFBF, streamBuffer.size());
    return SearchInto(
        list, [&](std::uint8_t* buffer, std::size_t size) { return std::fread(buffer, 1, size, file.get()); },
        kind, kScanChunkSize);
}

int ScanFileForModuleNames(NameList& list, void* file, int kind)
{
    LARGE_INTEGER start = {};
    LARGE_INTEGER length = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !GetFileSizeEx(file, &length))
        return 0;
    // A small file is read whole in one read, into a buffer no larger than it needs.
    const std::size_t chunkSize = static_cast<std::size_t>(
        std::clamp<LONGLONG>(length.QuadPart + 1, kScanChunkSize, kLargeScanChunkSize));
    return SearchInto(
        list,
        [&](std::uint8_t* buffer, std::size_t size) -> std::size_t {
            DWORD read = 0;
            if (!ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr))
                return 0;
            return read;
        },
        kind, chunkSize);
}
