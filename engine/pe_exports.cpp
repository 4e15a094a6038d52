#include "engine/pe_exports.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "engine/pe_layout.h"
#include "platform/ascii_case.h"

namespace
{

using namespace pe_layout;

constexpr std::uint64_t kExportDirectorySize = 40;
constexpr std::uint64_t kFunctionCountOffset = 20;
constexpr std::uint64_t kFunctionTableOffset = 28;
constexpr std::uint32_t kMostExports = 65536;

// The module of the forwarder text at offset, empty when the text names none; false
// when the end of the bytes cuts the text.
template <typename Source>
bool ForwardedModule(Source& source, std::uint64_t offset, std::string_view& module)
{
    module = {};
    if (offset >= source.Size())
        return false;
    ByteSpan window = source.Fetch(offset, std::min<std::uint64_t>(source.Size() - offset, kModuleNameScan));
    if (window.empty())
        return false;
    auto zero = std::find(window.begin(), window.end(), std::uint8_t{0});
    if (zero == window.end())
        return window.size() >= kModuleNameScan;
    std::string_view text(reinterpret_cast<const char*>(window.data()),
                          static_cast<std::size_t>(zero - window.begin()));
    std::size_t dot = text.rfind('.');
    if (dot == std::string_view::npos)
        return true;
    module = text.substr(0, dot);
    // The loader looks the module up by its file name, as it does an import's.
    if (module.size() >= 2 && module[1] == ':')
        module.remove_prefix(2);
    std::size_t separator = module.find_last_of("\\/");
    if (separator != std::string_view::npos)
        module.remove_prefix(separator + 1);
    module = module.substr(0, kMaxModuleName);
    return true;
}

template <typename Source> int ParseForwardersFrom(Source& source, const ImportNameSink& sink)
{
    PeHeaders pe;
    if (!ReadPeHeaders(source, pe) || !IsReadablePe(pe))
        return -1;
    if (pe.exportRva == 0 || pe.exportSize == 0)
        return 0;
    SectionMap<Source> sections(source, pe);
    std::uint64_t directory = 0;
    std::uint32_t functionCount = 0;
    std::uint32_t functionTable = 0;
    if (!sections(pe.exportRva, directory))
        return -1;
    ByteSpan header = source.Fetch(directory, kExportDirectorySize);
    if (!ReadU32(header, kFunctionCountOffset, functionCount) ||
        !ReadU32(header, kFunctionTableOffset, functionTable))
        return -1;
    functionCount = std::min(functionCount, kMostExports);
    if (functionCount == 0)
        return 0;
    std::uint64_t table = 0;
    if (!sections(functionTable, table))
        return -1;

    std::unordered_set<std::string> handedOn;
    for (std::uint32_t i = 0; i < functionCount && handedOn.size() < kMostForwardedModules; i++)
    {
        std::uint32_t address = 0;
        if (!FetchU32(source, table + 4 * std::uint64_t{i}, address))
            return -1;
        // Only an address inside the export directory is a forwarder's text.
        if (address < pe.exportRva || address - pe.exportRva >= pe.exportSize)
            continue;
        std::uint64_t offset = 0;
        std::string_view module;
        if (!sections(address, offset) || !ForwardedModule(source, offset, module))
            return -1;
        if (!module.empty() && handedOn.insert(ToUpperAscii(module)).second)
            sink(module, LinkKind::Forwarder);
    }
    return static_cast<int>(handedOn.size());
}

} // namespace

int ParseForwarders(ByteSpan bytes, const ImportNameSink& sink)
{
    SpanSource source(bytes);
    return ParseForwardersFrom(source, sink);
}

int ParseForwarders(PagedBytes& bytes, const ImportNameSink& sink)
{
    return ParseForwardersFrom(bytes, sink);
}
