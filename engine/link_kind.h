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
    // A managed file's referenced assembly, or a module of its own.
    AssemblyReference,
    // A native module that a managed file's P/Invoke declarations load.
    PInvoke,
    // An asset that a .NET dependency file names.
    DepsJson,
    // The .NET host's resolver or policy DLL.
    DotNetHost,
    // A registry value names it.
    Registry,
};
