// The dependency file scan over texts written here: the runtime and native assets of a
// well-formed file, and the texts it must take for files without assets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/deps_json.h"

namespace
{

std::vector<std::string> Assets(const std::string& text, std::uint64_t size = 0)
{
    PagedBytes bytes(
        size ? size : text.size(), [&](std::uint64_t offset, std::uint8_t* buffer, std::size_t n) {
            const std::size_t copied = offset < text.size() ? std::min(n, text.size() - offset) : 0;
            std::memcpy(buffer, text.data() + offset, copied);
            std::memset(buffer + copied, ' ', n - copied);
            return n;
        });
    return ParseDepsAssets(bytes);
}

const std::string kApp =
    "\xEF\xBB\xBF{\"runtimeTarget\": {\"name\": \".NETCoreApp,Version=v8.0/win-x86\"},\n"
    " \"targets\": {\".NETCoreApp,Version=v8.0/win-x86\": {\n"
    "  \"App/1.0.0\": {\"dependencies\": {\"Lib\": \"2.0\"}, \"runtime\": {\"App.dll\": {}}},\n"
    "  \"Lib/2.0\": {\"runtime\": {\"lib\\/net8.0\\/Lib.dll\": {\"fileVersion\": \"2.0.1\"}},\n"
    "   \"native\": {\"runtimes/win-x86/native/e_sqlite3.dll\": {\"x\": [1, -2.5e3, true, null]}},\n"
    "   \"resources\": {\"de/Lib.resources.dll\": {\"locale\": \"de\"}}}}},\n"
    " \"libraries\": {\"Lib/2.0\": {\"runtime\": {\"NotAnAsset.dll\": {}}}}}\n";

TEST(DepsJson, RuntimeAndNativeAssetsOfEveryTargetLibrary)
{
    EXPECT_EQ(
        (std::vector<std::string>{"App.dll", "lib/net8.0/Lib.dll", "runtimes/win-x86/native/e_sqlite3.dll"}),
        Assets(kApp));
}

TEST(DepsJson, AFileNotWholeAndWellFormedHasNoAssets)
{
    const std::string deep =
        "{\"targets\": {\"t\": {\"l\": {\"runtime\": {\"A.dll\": " + std::string(10000, '[') +
        std::string(10000, ']') + "}}}}}";
    const struct
    {
        const char* name;
        std::string text;
        std::uint64_t size;
    } cases[] = {
        {"cut", kApp.substr(0, kApp.size() / 2), 0},
        {"stray byte after it", kApp + "x", 0},
        {"trailing comma", "{\"targets\": {\"t\": {\"l\": {\"runtime\": {\"A.dll\": {},}}}}}", 0},
        {"control character in a string",
         "{\"targets\": {\"t\": {\"l\": {\"runtime\": {\"A\x01.dll\": {}}}}}}", 0},
        {"nested 10,000 deep", deep, 0},
        {"larger than the cap", kApp, kMostDepsBytes + 1},
        {"asset longer than a path",
         "{\"targets\": {\"t\": {\"l\": {\"native\": {\"" + std::string(300, 'a') + "\": {}}}}}}", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::vector<std::string>(), Assets(c.text, c.size)) << c.name;
}

} // namespace
