// The export forwarder reader from a byte buffer, with its promises checked for every
// input: each module lies inside the input, holds no zero and no directory, stays
// within the length cap, is handed on once, and the answer counts them. The same bytes
// read page by page must give the same answer and modules, holding a few pages.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/paged_bytes.h"
#include "engine/pe_exports.h"
#include "fuzz/paged_input.h"
#include "fuzz/require.h"
#include "platform/ascii_case.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string_view> modules;
    const int answer =
        ParseForwarders(ByteSpan(data, size), [&](std::string_view m, LinkKind) { modules.push_back(m); });
    Require(answer >= -1, "answer is -1, 0 or a count", {});
    if (answer >= 0)
        Require(static_cast<std::size_t>(answer) == modules.size(), "a count answer counts the modules", {});
    Require(modules.size() <= kMostForwardedModules, "modules within the cap", {});

    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    for (std::size_t i = 0; i < modules.size(); i++)
    {
        std::string_view module = modules[i];
        Require(!module.empty(), "module is not empty", module);
        Require(module.data() >= begin && module.size() <= static_cast<std::size_t>(end - module.data()),
                "module lies inside the input", {});
        Require(module.size() <= kMaxModuleName, "module within the length cap", module);
        Require(std::memchr(module.data(), 0, module.size()) == nullptr, "module holds no zero", module);
        Require(module.find_first_of("\\/") == std::string_view::npos, "module holds no directory", module);
        // ASCII case ignored, every module differs from those before (checked on the
        // inputs of a few modules, where the pairs stay cheap).
        for (std::size_t k = 0; k < i && modules.size() <= 256; k++)
            Require(!EqualsIgnoringCase(modules[k], module), "module handed on once", module);
    }

    std::vector<const std::uint8_t*> buffers;
    PagedBytes paged = PagedInput(data, size, buffers);
    std::vector<std::string> pagedModules;
    Require(ParseForwarders(paged, [&](std::string_view m, LinkKind) { pagedModules.emplace_back(m); }) ==
                answer,
            "paged parse gives the same answer", {});
    Require(pagedModules.size() == modules.size(), "paged parse gives as many modules", {});
    for (std::size_t i = 0; i < modules.size(); i++)
        Require(pagedModules[i] == modules[i], "paged parse gives the same modules", pagedModules[i]);
    Require(buffers.size() <= PagedBytes::kHeldPages, "a few pages held", {});
    return 0;
}
