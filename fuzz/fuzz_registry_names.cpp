// The reading of module names from a registry value's data, with its promises checked
// for every input, the bytes taken as a list of strings and as one string: each name
// lies inside the input, holds no zero and no character that cuts a text, ends in a
// module extension and is no longer than a path.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/path_parts.h"
#include "engine/registry_names.h"
#include "fuzz/require.h"

using namespace std::literals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);
    const std::u16string_view whole(text);
    for (bool multi : {false, true})
        FindRegistryModuleNamesInData(whole, multi, [&](std::u16string_view name) {
            const std::string shown(name.begin(), name.end());
            Require(name.data() >= whole.data() && name.data() + name.size() <= whole.data() + whole.size(),
                    "name lies inside the input", shown);
            Require(name.size() > 1 && name.size() <= kMaxPathLength, "name within the length cap", shown);
            Require(name.find_first_of(u"\"\0,;=@<>|*?"sv) == std::u16string_view::npos, "name holds no cut",
                    shown);
            const std::size_t dot = name.rfind(u'.');
            bool extension = false;
            for (std::u16string_view known : kRegistryModuleExtensions)
                extension =
                    extension || (dot != std::u16string_view::npos && name.size() - dot - 1 == known.size());
            Require(dot > 0 && extension, "name ends in a module extension", shown);
        });
    return 0;
}
