// The dependency file scan from a byte buffer: every asset it gives is a key written in
// the input, no longer than a path, at most the cap of them, and the scan holds a few
// pages whatever the input.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/deps_json.h"
#include "engine/paged_bytes.h"
#include "engine/path_parts.h"
#include "fuzz/require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<const std::uint8_t*> buffers;
    PagedBytes paged(size, [&](std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
        if (std::find(buffers.begin(), buffers.end(), buffer) == buffers.end())
            buffers.push_back(buffer);
        std::memcpy(buffer, data + offset, count);
        return count;
    });
    const std::vector<std::string> assets = ParseDepsAssets(paged);
    Require(assets.size() <= kMostDepsAssets, "assets within the cap", {});
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const std::string& asset : assets)
    {
        Require(!asset.empty() && asset.size() <= kMaxPathLength, "asset within a path's length", asset);
        // Escapes aside, an asset is written in the input as it is given.
        if (asset.find_first_of("\\?") == std::string::npos && input.find('\\') == std::string_view::npos)
            Require(input.find("\"" + asset + "\"") != std::string_view::npos, "asset is a key of the input",
                    asset);
    }
    Require(buffers.size() <= PagedBytes::kHeldPages, "a few pages held", {});
    return 0;
}
