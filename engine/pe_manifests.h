// The manifests a 32-bit Portable Executable carries as resources (type RT_MANIFEST,
// 24): the text the loader reads to build the file's activation context. Read from the
// bytes alone through the PE layout (engine/pe_layout.h).
//
// Every name of the type is taken (the loader uses 1 for a program, 2 for a DLL, 3 for
// one loaded as isolated), each in its first language. A crafted file is bounded: at
// most kMostResourceEntries entries of a directory are looked at, kMostManifests
// manifests handed on, and one larger than kMostManifestBytes is skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "engine/paged_bytes.h"

constexpr std::size_t kMostResourceEntries = 4096;
constexpr std::size_t kMostManifests = 16;
constexpr std::uint32_t kMostManifestBytes = 1u << 20;

// Receives a manifest's bytes, valid during the call only.
using ManifestSink = std::function<void(std::string_view text)>;

// Hands on each manifest resource of bytes. The number handed on, 0 when there is none
// (no resource directory), -1 when bytes are no readable PE32 or PE32+ file or the resource
// directory runs outside them (manifests handed on before that stand).
int ParseManifestResources(ByteSpan bytes, const ManifestSink& sink);
int ParseManifestResources(PagedBytes& bytes, const ManifestSink& sink);
