// QemGetExeType: reads a file's headers and hands them to the portable decision.
#include "platform/exe_type.h"
#include "platform/qem_internal.h"
#include "platform/qemcom95.h"
#include "platform/scoped_handle.h"

#include <cstdint>

namespace
{

// Reads up to size bytes at offset; the count read, 0 on failure or past the end.
std::size_t ReadAt(HANDLE file, std::uint32_t offset, std::uint8_t* buffer, std::size_t size)
{
    OVERLAPPED at = {};
    at.Offset = offset;
    DWORD read = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(size), &read, &at))
        return 0;
    return read;
}

int AnswerOf(ExeType type)
{
    switch (type)
    {
    case ExeType::Dos: return QEM_EXE_DOS;
    case ExeType::Ne: return QEM_EXE_NE;
    case ExeType::Pe32: return QEM_EXE_PE32;
    case ExeType::Pe32Plus: return QEM_EXE_PE32PLUS;
    case ExeType::Other: return QEM_EXE_OTHER;
    case ExeType::None: break;
    }
    return QEM_EXE_NONE;
}

} // namespace

// Called for every file a scan examines, so it reads the headers only: one read of the
// file's start, and a second of a few bytes when e_lfanew points beyond it.
int WINAPI QemGetExeType(LPCSTR path)
{
    if (!path)
        return QEM_EXE_NONE;
    // A directory fails to open here (no backup semantics), which is what it should do.
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A name such as AUX.DLL opens a device, whose read could wait for ever.
    if (!file.IsValid() || GetFileType(file.handle) != FILE_TYPE_DISK)
        return QEM_EXE_NONE;

    std::uint8_t head[kExeHeadBytes];
    std::uint8_t header[kNewHeaderBytes];
    return AnswerOf(ClassifyFileStart(
        ByteSpan(head, ReadAt(file.handle, 0, head, sizeof head)), [&](std::uint32_t offset) {
            return ByteSpan(header, ReadAt(file.handle, offset, header, sizeof header));
        }));
}
