#include "engine/api_set_schema.h"

#include <cstdint>

#include "engine/pe_imports.h"
#include "engine/pe_layout.h"
#include "platform/ascii_case.h"

namespace
{

using namespace pe_layout;

constexpr std::uint64_t kSectionNameSize = 8;
constexpr char kApiSetSection[kSectionNameSize] = ".apiset";

// The schema's bytes: offsets in it are from its start, and none reaches past the
// section that holds it.
template <typename Source> class SchemaBytes
{
public:
    SchemaBytes(Source& source, std::uint64_t start, std::uint64_t size)
        : source_(source), start_(start), size_(size)
    {
    }
    ByteSpan Fetch(std::uint64_t offset, std::uint64_t n)
    {
        return offset <= size_ && n <= size_ - offset ? source_.Fetch(start_ + offset, n) : ByteSpan();
    }
    bool U32(std::uint64_t offset, std::uint32_t& out) { return ReadU32(Fetch(offset, 4), 0, out); }

    // The UTF-16 name of length bytes at offset, narrowed; false when it lies outside,
    // is longer than a module name or holds anything but printable ASCII.
    bool Name(std::uint32_t offset, std::uint32_t length, std::string& name)
    {
        name.clear();
        if (length % 2 != 0 || length / 2 > kMaxModuleName)
            return false;
        ByteSpan bytes = Fetch(offset, length);
        if (bytes.size() != length)
            return false;
        for (std::size_t i = 0; i < length; i += 2)
        {
            if (bytes[i + 1] != 0 || bytes[i] < 0x20 || bytes[i] > 0x7E)
                return false;
            name += static_cast<char>(bytes[i]);
        }
        return true;
    }

private:
    Source& source_;
    std::uint64_t start_;
    std::uint64_t size_;
};

// Where each form keeps a set's fields: its entry's size, the offsets of its name, its
// name's length, the value list (count and first value's host name).
struct Layout
{
    std::uint64_t entriesAt;
    std::uint64_t entrySize;
    std::uint64_t nameOffset, nameLength;
    std::uint64_t hashedLength; // version 6 only
    std::uint64_t valueOffset;
};

// The first value of a set: its host's name, the value's own offsets by the form.
template <typename Schema>
bool FirstHost(Schema& schema, int version, std::uint32_t values, std::uint32_t valueCount, std::string& host)
{
    std::uint32_t count = valueCount;
    std::uint64_t first = values;
    if (version == 2 && !schema.U32(values, count))
        return false;
    if (version == 2)
        first = values + 4u;
    if (version == 4 && !schema.U32(values + 4u, count))
        return false;
    if (version == 4)
        first = values + 8u;
    if (count == 0)
        return false;
    // Version 2's values are four fields (name, name length, value, value length); the
    // later ones put flags first.
    const std::uint64_t field = version == 2 ? 8 : 12;
    std::uint32_t hostOffset = 0;
    std::uint32_t hostLength = 0;
    return schema.U32(first + field, hostOffset) && schema.U32(first + field + 4, hostLength) &&
           hostLength != 0 && schema.Name(hostOffset, hostLength, host);
}

template <typename Schema> int ReadSets(Schema& schema, ApiSetSchema& out)
{
    std::uint32_t version = 0;
    if (!schema.U32(0, version))
        return -1;
    Layout layout{};
    std::uint32_t count = 0;
    std::uint32_t entries = 0;
    switch (version)
    {
    case 2:
        if (!schema.U32(4, count))
            return -1;
        layout = {8, 12, 0, 4, 0, 8};
        break;
    case 4:
        if (!schema.U32(12, count))
            return -1;
        layout = {16, 24, 4, 8, 0, 20};
        break;
    case 6:
        if (!schema.U32(12, count) || !schema.U32(16, entries))
            return -1;
        layout = {entries, 24, 4, 8, 12, 16};
        break;
    default: return 0;
    }
    out.version = static_cast<int>(version);
    std::string name;
    std::string host;
    for (std::uint64_t i = 0; i < count && out.hosts.size() < kMostApiSets; i++)
    {
        const std::uint64_t entry = layout.entriesAt + layout.entrySize * i;
        std::uint32_t nameOffset = 0;
        std::uint32_t nameLength = 0;
        std::uint32_t hashedLength = 0;
        std::uint32_t values = 0;
        std::uint32_t valueCount = 0;
        if (!schema.U32(entry + layout.nameOffset, nameOffset) ||
            !schema.U32(entry + layout.nameLength, nameLength) ||
            !schema.U32(entry + layout.valueOffset, values) ||
            (version == 6 && (!schema.U32(entry + layout.hashedLength, hashedLength) ||
                              !schema.U32(entry + layout.valueOffset + 4, valueCount))))
            return -1;
        if (!schema.Name(nameOffset, nameLength, name) ||
            !FirstHost(schema, out.version, values, valueCount, host))
            continue;
        if (version == 6)
        {
            if (hashedLength % 2 != 0 || hashedLength > nameLength)
                continue;
            name.resize(hashedLength / 2);
        }
        if (!IsApiSetName(ReduceModuleName(host)))
            out.hosts.emplace(ToUpperAscii(name), std::move(host));
    }
    return 1;
}

template <typename Source> int ParseFrom(Source& source, ApiSetSchema& out)
{
    out = ApiSetSchema();
    PeHeaders pe;
    if (!ReadPeHeaders(source, pe) || !IsReadablePe(pe))
        return -1;
    for (std::uint64_t i = 0; i < pe.sectionCount; i++)
    {
        ByteSpan header = source.Fetch(pe.sectionTable + kSectionHeaderSize * i, kSectionHeaderSize);
        std::uint32_t rawSize = 0;
        std::uint32_t rawData = 0;
        if (!ReadU32(header, kSectionRawSizeOffset, rawSize) ||
            !ReadU32(header, kSectionRawDataOffset, rawData))
            return -1;
        if (!std::equal(header.begin(), header.begin() + kSectionNameSize, kApiSetSection))
            continue;
        SchemaBytes<Source> schema(source, rawData, rawSize);
        return ReadSets(schema, out);
    }
    return 0;
}

} // namespace

int ParseApiSetSchema(ByteSpan bytes, ApiSetSchema& schema)
{
    SpanSource source(bytes);
    return ParseFrom(source, schema);
}

int ParseApiSetSchema(PagedBytes& bytes, ApiSetSchema& schema)
{
    return ParseFrom(bytes, schema);
}

bool IsApiSetName(std::string_view module)
{
    if (module.size() < 4)
        return false;
    const std::string prefix = ToUpperAscii(module.substr(0, 4));
    return prefix == "API-" || prefix == "EXT-";
}

std::string_view ApiSetHost(const ApiSetSchema& schema, std::string_view module)
{
    if (!IsApiSetName(module))
        return {};
    std::string key;
    if (schema.version == 6)
    {
        // The version after the last '-' is not compared: a newer minor version of a set
        // resolves to the host of the one the schema lists.
        const std::size_t hyphen = module.rfind('-');
        key = ToUpperAscii(module.substr(0, hyphen));
    }
    else
        key = ToUpperAscii(module.substr(4));
    auto found = schema.hosts.find(key);
    return found == schema.hosts.end() ? std::string_view() : std::string_view(found->second);
}
