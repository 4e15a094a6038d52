// A fuzz target's promise about a name: a broken one aborts, which libFuzzer reports
// as a finding with the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

inline void Require(bool holds, const char* promise, std::string_view name)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken promise: %s (name \"%.*s\")\n", promise, static_cast<int>(name.size()),
                 name.data());
    std::abort();
}
