// The CLR metadata reader from a byte buffer, with its promises checked for every
// input: each name lies inside the input, holds no zero, stays within the scan's
// length, and the answer counts them. The same bytes read page by page must give the
// same answer and names, holding a few pages.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/clr_metadata.h"
#include "engine/paged_bytes.h"
#include "engine/pe_imports.h"
#include "fuzz/paged_input.h"
#include "fuzz/require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    std::vector<std::string> names;
    const int answer = ParseClrMetadata(
        ByteSpan(data, size), [&](ClrName kind, std::string_view name, std::string_view culture) {
            Require(!name.empty(), "name is not empty", name);
            Require(name.data() >= begin && name.size() < static_cast<std::size_t>(end - name.data()),
                    "name lies inside the input, its zero too", {});
            Require(name.data()[name.size()] == '\0', "name ends with a zero", name);
            Require(name.size() < kModuleNameScan, "name within the scan's length", name);
            Require(std::memchr(name.data(), 0, name.size()) == nullptr, "name holds no zero", name);
            Require(culture.size() < kModuleNameScan, "culture within the scan's length", culture);
            names.push_back(std::to_string(static_cast<int>(kind)) + ":" + std::string(name) + ":" +
                            std::string(culture));
        });
    Require(answer >= -1, "answer is -1, 0 or a count", {});
    if (answer >= 0)
        Require(static_cast<std::size_t>(answer) == names.size(), "a count answer counts the names", {});

    std::vector<const std::uint8_t*> buffers;
    PagedBytes paged = PagedInput(data, size, buffers);
    std::vector<std::string> pagedNames;
    Require(ParseClrMetadata(paged,
                             [&](ClrName kind, std::string_view name, std::string_view culture) {
                                 pagedNames.push_back(std::to_string(static_cast<int>(kind)) + ":" +
                                                      std::string(name) + ":" + std::string(culture));
                             }) == answer,
            "paged parse gives the same answer", {});
    Require(pagedNames == names, "paged parse gives the same names", {});
    Require(buffers.size() <= PagedBytes::kHeldPages, "a few pages held", {});
    return 0;
}
