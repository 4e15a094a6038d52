// How one file links to another: what the loader, or the file itself, follows to it.
// Portable.
#pragma once

enum class LinkKind : unsigned char
{
    Import,
    DelayLoadImport,
    Forwarder,
    Manifest,
    NamedInFile, // found by the byte search, or named in an other-format file
    Registry,    // a registry value names it
};
