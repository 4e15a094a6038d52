// The assets a .NET dependency file (NAME.deps.json) names: the keys of every "runtime"
// and "native" object of a library under "targets", which the host loads from the
// file's folder. The shared framework's file names the whole runtime this way. Portable.
//
// The file is scanned once, front to back, a page at a time, and must be well-formed
// JSON as a whole; anything else (a cut file, a stray byte, nesting deeper than
// kMostJsonDepth, more than kMostDepsAssets assets, an asset path longer than a path
// may be, a file larger than kMostDepsBytes) is a file without assets, so a crafted
// file costs bounded memory and one pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/paged_bytes.h"

constexpr std::size_t kMostJsonDepth = 64;
constexpr std::size_t kMostDepsAssets = 65536;
constexpr std::uint64_t kMostDepsBytes = 64ull << 20;

// The asset paths of bytes as written ("lib/net8.0/App.dll"), in file order, or none.
std::vector<std::string> ParseDepsAssets(PagedBytes& bytes);
