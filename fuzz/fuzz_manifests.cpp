// The manifest readers from a byte buffer: the input as a PE file whose manifest
// resources are read, and as a manifest's text. Promised for every input: each
// manifest handed on lies inside the input and within the size cap, at most the cap of
// manifests is handed on, the answer counts them, the same bytes read page by page give
// the same manifests, and the text reader keeps its lists within their cap and says
// nothing of a text it refuses.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/manifest_xml.h"
#include "engine/pe_manifests.h"
#include "fuzz/require.h"

static void CheckText(std::string_view text)
{
    Manifest manifest;
    const bool read = ParseManifest(text, manifest);
    Require(manifest.dependencies.size() <= kMostManifestEntries &&
                manifest.files.size() <= kMostManifestEntries &&
                manifest.redirects.size() <= kMostManifestEntries,
            "lists within their cap", {});
    if (!read)
        Require(manifest.identity.name.empty() && manifest.dependencies.empty() && manifest.files.empty() &&
                    manifest.redirects.empty(),
                "a refused text says nothing", {});
    for (const VersionRedirect& redirect : manifest.redirects)
        VersionInRange(redirect.newVersion, redirect.oldVersion);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* begin = reinterpret_cast<const char*>(data);
    std::vector<std::string_view> manifests;
    const int answer = ParseManifestResources(ByteSpan(data, size), [&](std::string_view text) {
        manifests.push_back(text);
        CheckText(text);
    });
    Require(answer >= -1, "answer is -1, 0 or a count", {});
    if (answer >= 0)
        Require(static_cast<std::size_t>(answer) == manifests.size(), "a count answer counts the manifests",
                {});
    Require(manifests.size() <= kMostManifests, "manifests within the cap", {});
    for (std::string_view text : manifests)
        Require(text.data() >= begin && text.size() <= static_cast<std::size_t>(begin + size - text.data()) &&
                    text.size() <= kMostManifestBytes,
                "manifest lies inside the input", {});

    PagedBytes paged(size, [&](std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
        std::memcpy(buffer, data + offset, count);
        return count;
    });
    std::vector<std::string> pagedManifests;
    Require(ParseManifestResources(
                paged, [&](std::string_view text) { pagedManifests.emplace_back(text); }) == answer,
            "paged parse gives the same answer", {});
    Require(pagedManifests.size() == manifests.size(), "paged parse gives as many manifests", {});
    for (std::size_t i = 0; i < manifests.size(); i++)
        Require(pagedManifests[i] == manifests[i], "paged parse gives the same manifests", {});

    CheckText(std::string_view(begin, size));
    return 0;
}
