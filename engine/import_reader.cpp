#include <windows.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/import_reader.h"
#include "engine/name_list.h"
#include "engine/pe_imports.h"
#include "platform/qemcom95.h"

namespace
{

struct HandleCloser
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct ViewUnmapper
{
    void operator()(const void* view) const { UnmapViewOfFile(view); }
};
// Released on every path, in the reverse order of opening: view, mapping, file.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;
using UniqueView = std::unique_ptr<const void, ViewUnmapper>;

} // namespace

int ReadImports(NameList& list, const char* path)
{
    if (QemGetExeType(path) != QEM_EXE_PE32)
        return -1;
    return ReadMappedImports(list, path);
}

int ReadMappedImports(NameList& list, const char* path)
{
    HANDLE opened = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return -1;
    UniqueHandle file(opened);

    // The file's length bounds every read. A length of zero cannot be mapped, and one
    // beyond the address space cannot be viewed whole.
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file.get(), &length) || length.QuadPart <= 0 ||
        static_cast<unsigned long long>(length.QuadPart) > SIZE_MAX)
        return -1;

    // A flat mapping, never SEC_IMAGE: an image mapping lays the sections out at their
    // virtual addresses (and refuses files that are not loadable images), while the
    // descriptors and names are found at file offsets.
    UniqueHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping)
        return -1;
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view)
        return -1;

    std::vector<std::string_view> names;
    ByteSpan bytes(static_cast<const std::uint8_t*>(view.get()), static_cast<std::size_t>(length.QuadPart));
    int answer = ParseImports(bytes, names);
    // Names found before a walk that ends with -1 stay; the callers decide what they are worth.
    for (std::string_view name : names)
        AddName(list, name);
    return answer;
}
