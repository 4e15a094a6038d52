#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "engine/clr_metadata.h"
#include "engine/distinct_names.h"
#include "engine/import_reader.h"
#include "engine/link_graph.h"
#include "engine/paged_bytes.h"
#include "engine/pe_exports.h"
#include "engine/pe_imports.h"
#include "engine/pe_layout.h"
#include "platform/exe_type.h"
#include "platform/scoped_handle.h"

// The pages of a file are fetched in whatever order the parse asks. The file position
// is moved rather than given with each read: on this platform a read given an
// OVERLAPPED position costs a further call into the server to report its completion.
PagedBytes::Reader FilePageReader(void* file)
{
    return [file](std::uint64_t offset, std::uint8_t* buffer, std::size_t size) -> std::size_t {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(offset);
        DWORD read = 0;
        if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN) ||
            !ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr))
            return 0;
        return read;
    };
}

// One open and a few page reads per file: on this platform the open and each call cost
// far more than the bytes, so the file is typed and parsed from the same pages, and it
// is never mapped (a mapping costs more than reading what the parse looks at).
int ReadImports(const char* path, ExeReading reading, const ImportNameSink& sink, int* bits, bool* managed)
{
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    bool unreadTables = false;
    int read = 0;
    int answer = -1;
    if (file.IsValid())
    {
        PagedBytes bytes = FileBytes(file.handle);
        answer = ReadImportsFrom(bytes, reading, sink, unreadTables, read, managed);
    }
    if (bits)
        *bits = read;
    return answer;
}

// A file's size, or 0 when it is empty or no disk file: a name such as AUX.DLL opens
// a device, whose read could wait for ever.
static std::uint64_t DiskFileSize(void* file)
{
    LARGE_INTEGER length;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length) || length.QuadPart <= 0)
        return 0;
    return static_cast<std::uint64_t>(length.QuadPart);
}

PagedBytes FileBytes(void* file)
{
    return PagedBytes(DiskFileSize(file), FilePageReader(file));
}

// The width of the file the bytes are, as the common library types it: 32, 64 or 0.
static int WidthOf(PagedBytes& bytes)
{
    const std::uint64_t size = bytes.Size();
    // The new header is fetched while the head is still looked at: the head is kept.
    std::array<std::uint8_t, kExeHeadBytes> headCopy;
    ByteSpan fetched = bytes.Fetch(0, std::min<std::uint64_t>(size, kExeHeadBytes));
    std::copy(fetched.begin(), fetched.end(), headCopy.begin());
    const ByteSpan head(headCopy.data(), fetched.size());
    ExeType type = ClassifyFileStart(head, [&](std::uint32_t offset) {
        return offset < size ? bytes.Fetch(offset, std::min<std::uint64_t>(size - offset, kNewHeaderBytes))
                             : ByteSpan();
    });
    return type == ExeType::Pe32 ? 32 : type == ExeType::Pe32Plus ? 64 : 0;
}

int ReadExeWidth(void* file)
{
    PagedBytes bytes = FileBytes(file);
    return bytes.Size() ? WidthOf(bytes) : 0;
}

int ReadImportsFrom(PagedBytes& bytes, ExeReading reading, const ImportNameSink& sink, bool& unreadTables,
                    int& bits, bool* managed)
{
    unreadTables = false;
    bits = 0;
    if (bytes.Size() == 0)
        return -1;
    bits = WidthOf(bytes);
    if (bits == 64 && !reading.take64)
    {
        // Told apart from a malformed file, which is no 64-bit DLL left out.
        pe_layout::PeHeaders pe;
        bits = pe_layout::ReadPeHeaders(bytes, pe) ? 64 : 0;
        return -1;
    }
    if (bits == 0)
        return -1;
    const int imports = ParseImports(bytes, reading.imports, sink, unreadTables);
    if (imports == -1)
        bits = 0;
    // The headers are still held: telling a managed file costs no read.
    if (managed)
        *managed = imports != -1 && HasClrHeader(bytes);
    if (imports == -1 || reading.imports != ImportReading::ImportDirectories)
        return imports;
    // A DLL's forwarders are links the loader follows as it follows imports; an export
    // directory that cannot be read costs its own names only.
    const int forwarded = ParseForwarders(bytes, sink);
    return forwarded > 0 ? imports + forwarded : imports;
}

bool ForwardsExports(PagedBytes& bytes)
{
    return ParseForwarders(bytes, [](std::string_view, LinkKind) {}) > 0;
}

int ReadImports(NameList& list, const char* path, ExeReading reading, int* bits, bool* managed)
{
    DistinctNames names(list);
    return ReadImports(
        path, reading,
        [&](std::string_view name, LinkKind kind) {
            names.Add(name);
            NoteLinkKind(name, kind);
        },
        bits, managed);
}

int ReadImportsFrom(NameList& list, PagedBytes& bytes, ExeReading reading, bool& unreadTables, int& bits,
                    bool* managed)
{
    DistinctNames names(list);
    return ReadImportsFrom(
        bytes, reading,
        [&](std::string_view name, LinkKind kind) {
            names.Add(name);
            NoteLinkKind(name, kind);
        },
        unreadTables, bits, managed);
}
