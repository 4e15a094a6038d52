// The chunked module-name search against the plain whole-buffer search over the same
// bytes. For kinds 1 and 2 (names of at most 8 characters) both must hand on the same
// names in the same order with the same answer, and the file must be read once, front
// to back; for kind 0, whose walk the chunk's first byte may cut, the same against the
// whole-buffer search in the chunks of a file repositioned for every overlap, and every
// name must be a well-formed entry. Kinds 1 and 2 find the same names for any read size, which lets
// the scan read executables in large blocks: a second size, chosen by the input, must
// agree too.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/module_names.h"
#include "fuzz/require.h"
#include "tests/engine/whole_module_names.h"

namespace
{

// Two chunk boundaries at least in every input.
constexpr std::size_t kMinFileSize = 8192;
// Bytes past this many add boundaries but no new cases; leaving them out keeps the
// large seeds (whole PE files) fast.
constexpr std::size_t kMaxFileSize = 32768;

struct Found
{
    int answer = 0;
    std::vector<std::string> names;
    std::size_t reads = 0;
};

Found SearchChunked(const std::vector<std::uint8_t>& file, int kind, std::size_t chunkSize = kScanChunkSize,
                    ProgramNames forms = ProgramNames::EightCharacters)
{
    Found found;
    std::size_t offset = 0;
    found.answer = SearchModuleNames(
        [&](std::uint8_t* buffer, std::size_t size) {
            ++found.reads;
            std::size_t n = std::min(size, file.size() - offset);
            std::memcpy(buffer, file.data() + offset, n);
            offset += n;
            return n;
        },
        [] { return true; }, [&](std::string_view name) { found.names.emplace_back(name); }, kind, chunkSize,
        forms);
    return found;
}

Found SearchWhole(const std::vector<std::uint8_t>& file, int kind,
                  ProgramNames forms = ProgramNames::EightCharacters)
{
    Found found;
    found.answer = SearchWholeModuleNames(
        ByteSpan(file.data(), file.size()), [&](std::string_view name) { found.names.emplace_back(name); },
        kind, forms);
    return found;
}

// Upper case, no leading digit, and only the characters the kind accepts.
bool IsWellFormed(std::string_view name, std::string_view accepted)
{
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (char c : name)
        if (!(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') && accepted.find(c) == std::string_view::npos)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    size = std::min(size, kMaxFileSize);
    // A short input is repeated until it is long enough: its length then decides where
    // the boundaries fall in it.
    std::vector<std::uint8_t> file;
    while (file.size() < kMinFileSize)
        file.insert(file.end(), data, data + size);

    for (int kind : {1, 2})
    {
        Found chunked = SearchChunked(file, kind);
        Found whole = SearchWhole(file, kind);
        Require(chunked.reads == file.size() / kScanChunkSize + 1, "one read per chunk, then one of 0 bytes",
                {});
        Require(chunked.answer == whole.answer, "same answer as the whole-buffer search", {});
        Require(chunked.answer == (chunked.names.empty() ? 0 : 1), "answer 1 exactly when names were found",
                {});
        Require(chunked.names.size() == whole.names.size(), "as many names as the whole-buffer search", {});
        for (std::size_t i = 0; i < chunked.names.size(); ++i)
        {
            Require(chunked.names[i] == whole.names[i], "same name as the whole-buffer search",
                    chunked.names[i]);
            Require(chunked.names[i].size() <= kShortModuleName, "at most 8 characters", chunked.names[i]);
            Require(IsWellFormed(chunked.names[i], "#^$~!_&-@"), "well-formed short name", chunked.names[i]);
        }
        const std::size_t otherSize =
            16 + (std::size_t{data[0]} << 8 | data[size - 1]) % (2 * kScanChunkSize);
        for (std::size_t chunkSize : {otherSize, kLargeScanChunkSize})
        {
            Found resized = SearchChunked(file, kind, chunkSize);
            Require(resized.answer == whole.answer, "same answer for another read size", {});
            Require(resized.names == whole.names, "same names for another read size", {});
        }
    }

    // The modern reading's names, for any read size: more names, never fewer.
    for (int kind : {1, 2})
    {
        Found whole = SearchWhole(file, kind, ProgramNames::AlsoLongAndWide);
        const std::size_t otherSize =
            16 + (std::size_t{data[0]} << 8 | data[size - 1]) % (2 * kScanChunkSize);
        for (std::size_t chunkSize : {kScanChunkSize, otherSize, kLargeScanChunkSize})
        {
            Found resized = SearchChunked(file, kind, chunkSize, ProgramNames::AlsoLongAndWide);
            Require(resized.answer == whole.answer, "modern: same answer for every read size", {});
            Require(resized.names == whole.names, "modern: same names for every read size", {});
        }
        Require(whole.names.size() >= SearchWhole(file, kind).names.size(), "modern: no fewer names", {});
        for (const std::string& name : whole.names)
            Require(!name.empty() && name.size() <= kLongModuleName &&
                        name.find_first_of(" \\/:") == name.npos,
                    "modern: a file name of at most 251 characters", name);
    }

    // Kind 0 reads on where an overlap starts a chunk again, taking at least 3061 new
    // bytes a read but the last.
    Found text = SearchChunked(file, 0);
    Found wholeText = SearchWhole(file, 0);
    Require(text.reads <= file.size() / (kScanChunkSize - 11) + 2,
            "every read but the last takes a chunk's worth", {});
    Require(text.answer == wholeText.answer, "same answer as the repositioned search", {});
    Require(text.names == wholeText.names, "same names as the repositioned search", {});
    for (const std::string& name : text.names)
    {
        Require(name.size() <= kMaxModuleEntry, "fits an entry of 259 characters", name);
        Require(name.size() > 4 && name.ends_with(".DLL"), "a name followed by .DLL", name);
        Require(IsWellFormed(std::string_view(name).substr(0, name.size() - 4), "#^$~!_&-@\\:"),
                "well-formed long name", name);
    }
    return 0;
}
