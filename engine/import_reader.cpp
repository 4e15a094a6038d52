#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/import_reader.h"
#include "engine/name_list.h"
#include "engine/paged_bytes.h"
#include "engine/pe_imports.h"
#include "engine/scoped_handle.h"
#include "platform/exe_type.h"

namespace
{

// The pages of a file are fetched in whatever order the parse asks. The file position
// is moved rather than given with each read: on this platform a read given an
// OVERLAPPED position costs a further call into the server to report its completion.
std::size_t ReadAt(HANDLE file, std::uint64_t offset, std::uint8_t* buffer, std::size_t size)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN) ||
        !ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr))
        return 0;
    return read;
}

} // namespace

// One open and a few page reads per file: on this platform the open and each call cost
// far more than the bytes, so the file is typed and parsed from the same pages, and it
// is never mapped (a mapping costs more than reading what the parse looks at).
int ReadImports(NameList& list, const char* path, ImportReading reading)
{
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    bool unreadTables = false;
    return file.IsValid() ? ReadImportsFrom(list, file.handle, reading, unreadTables) : -1;
}

int ReadImportsFrom(NameList& list, void* file, ImportReading reading, bool& unreadTables)
{
    unreadTables = false;
    // A name such as AUX.DLL opens a device, whose read could wait for ever.
    LARGE_INTEGER length;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length) || length.QuadPart <= 0)
        return -1;

    const std::uint64_t size = static_cast<std::uint64_t>(length.QuadPart);
    PagedBytes bytes(size, [&](std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
        return ReadAt(file, offset, buffer, count);
    });
    ByteSpan head = bytes.Fetch(0, std::min<std::uint64_t>(size, kExeHeadBytes));
    ExeType type = ClassifyFileStart(head, [&](std::uint32_t offset) {
        return offset < size ? bytes.Fetch(offset, std::min<std::uint64_t>(size - offset, kNewHeaderBytes))
                             : ByteSpan();
    });
    if (type != ExeType::Pe32)
        return -1;

    std::vector<std::string_view> names;
    int answer = ParseImports(bytes, reading, names, unreadTables);
    // Names found before a walk that ends with -1 stay; the callers decide what they are worth.
    for (std::string_view name : names)
        AddName(list, name);
    return answer;
}
