// The API set schema reader from a byte buffer, with its promises checked for every
// input: the answer is -1, 0 or 1 and agrees with the version, at most the cap of sets
// is kept, every set name and host is plain ASCII within the length cap, no host is
// itself a set's name (so a lookup never loops), and a lookup of every kept set finds
// its host. The same bytes read page by page must give the same schema.
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/api_set_schema.h"
#include "engine/pe_imports.h"
#include "fuzz/require.h"

static bool PlainAscii(const std::string& text)
{
    for (char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ApiSetSchema schema;
    const int answer = ParseApiSetSchema(ByteSpan(data, size), schema);
    Require(answer >= -1 && answer <= 1, "answer is -1, 0 or 1", {});
    Require(answer != 1 || schema.version == 2 || schema.version == 4 || schema.version == 6,
            "a schema read has a known version", {});
    Require(schema.hosts.size() <= kMostApiSets, "sets within the cap", {});
    for (const auto& [name, host] : schema.hosts)
    {
        Require(PlainAscii(name) && name.size() <= kMaxModuleName, "set name plain and capped", name);
        Require(PlainAscii(host) && !host.empty() && host.size() <= kMaxModuleName, "host plain and capped",
                host);
        Require(!IsApiSetName(ReduceModuleName(host)), "no host is a set's name", host);
        const std::string looked = schema.version == 6 ? name + "-0" : "api-" + name;
        if (IsApiSetName(looked))
            Require(ApiSetHost(schema, looked) == host, "a kept set is found", name);
    }

    PagedBytes paged(size, [&](std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
        std::memcpy(buffer, data + offset, count);
        return count;
    });
    ApiSetSchema pagedSchema;
    Require(ParseApiSetSchema(paged, pagedSchema) == answer, "paged parse gives the same answer", {});
    Require(pagedSchema.version == schema.version && pagedSchema.hosts == schema.hosts,
            "paged parse gives the same schema", {});
    return 0;
}
