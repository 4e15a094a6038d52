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
int ReadImports(const char* path, ImportReading reading, const ImportNameSink& sink)
{
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    bool unreadTables = false;
    return file.IsValid() ? ReadImportsFrom(file.handle, reading, sink, unreadTables) : -1;
}

int ReadImportsFrom(void* file, ImportReading reading, const ImportNameSink& sink, bool& unreadTables,
                    bool* managed)
{
    unreadTables = false;
    // A name such as AUX.DLL opens a device, whose read could wait for ever.
    LARGE_INTEGER length;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length) || length.QuadPart <= 0)
        return -1;

    const std::uint64_t size = static_cast<std::uint64_t>(length.QuadPart);
    PagedBytes bytes(size, FilePageReader(file));
    // The new header is fetched while the head is still looked at: the head is kept.
    std::array<std::uint8_t, kExeHeadBytes> headCopy;
    ByteSpan fetched = bytes.Fetch(0, std::min<std::uint64_t>(size, kExeHeadBytes));
    std::copy(fetched.begin(), fetched.end(), headCopy.begin());
    const ByteSpan head(headCopy.data(), fetched.size());
    ExeType type = ClassifyFileStart(head, [&](std::uint32_t offset) {
        return offset < size ? bytes.Fetch(offset, std::min<std::uint64_t>(size - offset, kNewHeaderBytes))
                             : ByteSpan();
    });
    if (type != ExeType::Pe32)
        return -1;
    const int imports = ParseImports(bytes, reading, sink, unreadTables);
    // The headers are still held: telling a managed file costs no read.
    if (managed)
        *managed = imports != -1 && HasClrHeader(bytes);
    if (imports == -1 || reading != ImportReading::ImportDirectories)
        return imports;
    // A DLL's forwarders are links the loader follows as it follows imports; an export
    // directory that cannot be read costs its own names only.
    const int forwarded = ParseForwarders(bytes, sink);
    return forwarded > 0 ? imports + forwarded : imports;
}

int ReadImports(NameList& list, const char* path, ImportReading reading, bool* managed)
{
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    bool unreadTables = false;
    return file.IsValid() ? ReadImportsFrom(list, file.handle, reading, unreadTables, managed) : -1;
}

int ReadImportsFrom(NameList& list, void* file, ImportReading reading, bool& unreadTables, bool* managed)
{
    DistinctNames names(list);
    return ReadImportsFrom(
        file, reading,
        [&](std::string_view name, LinkKind kind) {
            names.Add(name);
            NoteLinkKind(name, kind);
        },
        unreadTables, managed);
}
