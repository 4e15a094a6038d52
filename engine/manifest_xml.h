// What a side-by-side manifest says, read from its text: the assembly it describes,
// the assemblies it depends on, the files it holds and, in a publisher policy, the
// versions it redirects. Portable.
//
// Only a well-formed document is read: a text that is not (unbalanced or unknown
// markup, an undeclared entity, a document type declaration, which could declare
// entities, elements nested deeper than kDeepestManifestElement, or an element of more
// than kMostManifestAttributes attributes) says nothing, as
// the loader refuses it. UTF-8 and UTF-16 (little-endian, with its byte-order mark)
// texts are read; element names are compared without their namespace prefix.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr std::size_t kDeepestManifestElement = 64;
// Attributes an element may have; more make the text one the reader refuses.
constexpr std::size_t kMostManifestAttributes = 64;
// Entries of each list kept: a crafted manifest cannot make the reader hold more.
constexpr std::size_t kMostManifestEntries = 1024;

struct AssemblyIdentity
{
    std::string name, version, architecture, publicKeyToken, language;
};

struct VersionRedirect
{
    std::string oldVersion; // "a.b.c.d" or "a.b.c.d-e.f.g.h"
    std::string newVersion;
};

struct Manifest
{
    AssemblyIdentity identity;
    std::vector<AssemblyIdentity> dependencies;
    std::vector<std::string> files;
    std::vector<VersionRedirect> redirects;
};

// False, with manifest empty, when text is not a well-formed manifest.
bool ParseManifest(std::string_view text, Manifest& manifest);

// The four parts of a version "a.b.c.d" as numbers; false when it is not one.
bool ParseVersion(std::string_view version, std::array<std::uint32_t, 4>& parts);

// Whether version lies in range, a version or "low-high", comparing the four parts as
// numbers. A part that is no number matches nothing.
bool VersionInRange(std::string_view version, std::string_view range);
