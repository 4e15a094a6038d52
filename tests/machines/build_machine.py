#!/usr/bin/python3
"""Builds a fixture machine: one directory tree per drive letter, made from a small
declarative description, for the scan's tests and the demo.

Usage: build_machine.py DESCRIPTION OUTPUT [--cc CC] [--dlltool DLLTOOL]
                        [--clang CLANG] [--llvm-dlltool LLVM_DLLTOOL]
                        [--cache DIR] [--jobs N]

DESCRIPTION is a Python file that defines MACHINE (or a JSON file that holds it):

    MACHINE = {
        "drives": {                                    # letter: entries, in order
            "E": [
                {"dir": r"EMPTY"},
                {"exe": r"APP\APP.EXE", "imports": ["FOO", "KERNEL32"]},
                {"dll": r"APP\FOO.DLL", "imports": ["BAR"], "strings": ["DYN.DLL"]},
                {"ne": r"OLD\OLD16.DLL", "strings": ["NEREF.DLL"]},
                {"file": r"APP\APP.INI", "text": "[boot]\r\ndrv=BAR.DLL\r\n"},
                {"link": r"H\SUB\LOOP", "to": ".."},
                {"dir": r"H\SHUT", "mode": 0o000},
            ],
        },
        "shared_dlls": {r"E:\SHARED\SHR.DLL": 1},   # SharedDLLs values to set
        "unlinked": [r"E:\ORPHAN.DLL"],             # what a scan should list
    }

Entries. Paths are relative to the drive's root, with "\\" or "/"; parents are
made as needed.
- dir: a directory; "mode" is applied after everything else is written.
- exe, dll: a 32-bit program or DLL built from a generated C source without a C
  runtime, so that its import table holds exactly "imports": module names, bare
  ("FOO" stands for FOO.DLL) or with an extension. KERNEL32, USER32, GDI32, ADVAPI32
  and SHELL32 are the system's; every other name is a fixture module, imported
  through an import library made by dlltool from a .def file, so imports may form
  cycles. Every DLL exports the function its importers call, named after its file
  name. "strings" are texts placed in the file's bytes (module names that only a
  full scan finds). "linker": "lld" links it with LLVM's linker (clang and
  llvm-dlltool's import libraries), which merges the import tables into .rdata as
  Microsoft's linker does; its "delay" modules, fixture modules only, are then
  imported through the delay-load import table.
- ne: a 16-bit Windows DLL: an MZ stub whose e_lfanew points at an "NE" header,
  with "strings" in its imported-names table.
- file: a file holding "text" (written byte for byte as Latin-1) or "bytes".
- link: a Unix symbolic link to "to", as given (relative links stay relative).

OUTPUT is emptied, then receives one folder per drive, named by its letter in lower
case; drives.txt, one LETTER=FOLDER a line (the arguments of
tests/wine/with-drives.sh); and, written last, machine.json: MACHINE without its
entries, "drives" mapping each letter to its folder, "shared_dlls" and "unlinked"
present (empty when not given).

Compiled files are cached by content in --cache (default: OUTPUT + ".cache"), so a
rebuild after a change of the description compiles only what changed.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import runpy
import shutil
import stat
import struct
import subprocess
import sys
import tempfile

# Module -> (library to link, an expression that calls into it).
SYSTEM_MODULES = {
    "KERNEL32": ("kernel32", "(int)GetTickCount()"),
    "USER32": ("user32", "(GetDesktopWindow() != 0)"),
    "GDI32": ("gdi32", "(GetStockObject(WHITE_BRUSH) != 0)"),
    "ADVAPI32": ("advapi32", "(int)RegCloseKey(HKEY_CURRENT_USER)"),
    "SHELL32": ("shell32", "(int)(INT_PTR)ShellExecuteA(0, 0, 0, 0, 0, 0)"),
}

RESERVED_LETTERS = {"B", "C", "Z"}
ENTRY_KINDS = ("dir", "exe", "dll", "ne", "file", "link")
# No C runtime: the import table is exactly the source's. No time stamp, so that
# equal sources give equal files.
LINK_FLAGS = ["-O1", "-nostdlib", "-s", "-Wl,--no-insert-timestamp"]


class DescriptionError(Exception):
    pass


def load_description(path):
    if path.endswith(".json"):
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    machine = runpy.run_path(path).get("MACHINE")
    if not isinstance(machine, dict):
        raise DescriptionError(f"{path} defines no MACHINE dictionary")
    return machine


def path_parts(relative):
    parts = [p for p in relative.replace("\\", "/").split("/") if p]
    if not parts or any(p in (".", "..") for p in parts):
        raise DescriptionError(f"bad path {relative!r}: relative, without '.' or '..'")
    return parts


def entry_kind(entry):
    kinds = [k for k in ENTRY_KINDS if k in entry]
    if len(kinds) != 1:
        raise DescriptionError(f"entry {entry!r} must have exactly one of {', '.join(ENTRY_KINDS)}")
    return kinds[0]


def module_file_name(module):
    """The file an import names: a bare name stands for NAME.DLL."""
    return module if "." in module else module + ".DLL"


def module_base(module):
    return module.rsplit(".", 1)[0].upper()


def export_symbol(module):
    """The function a module exports, named after its whole file name, so that F.OCX
    can import F.DLL's."""
    return "Orv_" + "".join(c if c.isalnum() else "_" for c in module_file_name(module).upper())


def c_string(text):
    """A C string literal of text's Latin-1 bytes; octal escapes never run into a digit."""
    out = []
    for byte in text.encode("latin-1"):
        c = chr(byte)
        if c in '"\\?':
            out.append("\\" + c)
        elif 32 <= byte < 127:
            out.append(c)
        else:
            out.append(f"\\{byte:03o}")
    return '"' + "".join(out) + '"'


def uses_lld(entry):
    return entry.get("linker") == "lld"


def pe_source(kind, name, entry):
    """The C source of a fixture program or DLL, and the system libraries it needs."""
    imports = entry.get("imports", []) + entry.get("delay", [])
    if kind == "dll" and module_file_name(name).upper() in (
        module_file_name(m).upper() for m in imports
    ):
        raise DescriptionError(f"{name} cannot import the function it exports itself")
    lines = ["#include <windows.h>", "#include <shellapi.h>", ""]
    calls, libraries = [], []
    for module in imports:
        system = SYSTEM_MODULES.get(module.upper())
        if system:
            libraries.append(system[0])
            calls.append(system[1])
        else:
            lines.append(f"__declspec(dllimport) int {export_symbol(module)}(void);")
            calls.append(f"{export_symbol(module)}()")
    strings = entry.get("strings", [])
    if strings:
        # "used" keeps the texts in the file although only their first byte is read.
        joined = " ".join(c_string(s + "\0") for s in strings)
        lines.append(f"__attribute__((used)) static const char orv_strings[] = {joined};")
        calls.append("orv_strings[0]")
    lines += ["", "static int orv_body(void)", "{", "    int r = 0;"]
    lines += [f"    r += {call};" for call in calls]
    lines += ["    return r;", "}", ""]
    if kind == "dll":
        lines += [
            f"__declspec(dllexport) int {export_symbol(name)}(void)",
            "{",
            "    return orv_body();",
            "}",
            "",
            "BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved)",
            "{",
            "    (void)instance;",
            "    (void)reason;",
            "    (void)reserved;",
            "    return TRUE;",
            "}",
        ]
    else:
        lines += ["int mainCRTStartup(void)", "{", "    return orv_body();", "}"]
    if entry.get("delay"):
        # Never called: the file is read, not run, and no C runtime brings the helper.
        lines += ["", "void* __stdcall __delayLoadHelper2(const void* descriptor, void* slot)", "{",
                  "    (void)descriptor;", "    return slot;", "}"]
    return "\n".join(lines) + "\n", libraries


def ne_image(module, strings):
    """A 16-bit Windows DLL's headers: enough for anything that types executables,
    with the given texts in its imported-names table."""
    stub = b"This program requires Microsoft Windows.\r\n$"
    mz = bytearray(0x80)
    mz[0:2] = b"MZ"
    struct.pack_into("<H", mz, 0x08, 4)  # header size in paragraphs
    struct.pack_into("<H", mz, 0x18, 0x40)  # relocations at 0x40: a new-format image
    struct.pack_into("<I", mz, 0x3C, len(mz))  # e_lfanew
    mz[0x40 : 0x40 + len(stub)] = stub

    def pascal(text):
        data = text.encode("latin-1")[:255]
        return bytes([len(data)]) + data

    resident = pascal(module) + b"\0\0" + b"\0"
    imported = b"\0" + b"".join(pascal(s) for s in ["KERNEL", "USER"] + list(strings))
    header = bytearray(0x40)
    header[0:2] = b"NE"
    header[2], header[3] = 5, 10  # linker version
    struct.pack_into("<H", header, 0x0C, 0x8001)  # library, single data
    struct.pack_into("<H", header, 0x1C, 0)  # segments
    struct.pack_into("<H", header, 0x1E, 0)  # module references
    tables = 0x40
    struct.pack_into("<H", header, 0x22, tables)  # resource table
    struct.pack_into("<H", header, 0x24, tables)  # resident names
    struct.pack_into("<H", header, 0x28, tables + len(resident))  # module references
    struct.pack_into("<H", header, 0x2A, tables + len(resident))  # imported names
    struct.pack_into("<H", header, 0x04, tables + len(resident) + len(imported))  # entry table
    header[0x36] = 2  # Windows
    struct.pack_into("<H", header, 0x3E, 0x030A)  # Windows 3.10
    return bytes(mz) + bytes(header) + resident + imported + b"\0\0"


class Builder:
    def __init__(self, cc, dlltool, clang, llvm_dlltool, cache, jobs):
        self.cc, self.dlltool, self.cache, self.jobs = cc, dlltool, cache, jobs
        self.clang, self.llvm_dlltool = clang, llvm_dlltool
        os.makedirs(cache, exist_ok=True)
        # Beside the cache, so that a finished file moves into it in one rename.
        self.work = tempfile.mkdtemp(prefix="work-", dir=cache)
        self.import_libraries = {}

    def close(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def import_library(self, module, lld=False):
        """The import library of a fixture module, made once per run and linker: LLVM's
        linker delay-loads only through llvm-dlltool's short import members."""
        file_name = module_file_name(module).upper()
        if (file_name, lld) not in self.import_libraries:
            stem = "".join(c if c.isalnum() else "_" for c in file_name) + ("_lld" if lld else "")
            definition = os.path.join(self.work, stem + ".def")
            library = os.path.join(self.work, "lib" + stem + ".a")
            with open(definition, "w") as f:
                f.write(f'LIBRARY "{file_name}"\nEXPORTS\n{export_symbol(module)}\n')
            tool = [self.llvm_dlltool, "-m", "i386"] if lld else [self.dlltool]
            subprocess.run(tool + ["-d", definition, "-l", library], check=True)
            self.import_libraries[(file_name, lld)] = library
        return self.import_libraries[(file_name, lld)]

    def compiler(self, entry):
        """The compiler and linker flags of an entry's file."""
        if not uses_lld(entry):
            return [self.cc] + LINK_FLAGS
        delayed = [f"-Wl,-delayload={module_file_name(m).upper()}" for m in entry.get("delay", [])]
        return [self.clang, "--target=i686-w64-mingw32", "-fuse-ld=lld"] + LINK_FLAGS + delayed

    def cache_path(self, kind, name, entry):
        """Where the cache keeps the file that kind, name and entry make."""
        source, libraries = pe_source(kind, name, entry)
        # The file's own name is part of the key: the linker writes a DLL's name into
        # its export directory, where a full scan would otherwise find a stranger's.
        modules = [module_file_name(m).upper() for m in entry.get("imports", []) + entry.get("delay", [])]
        key = hashlib.sha256(
            json.dumps([kind, name.upper(), source, modules, libraries, self.compiler(entry)]).encode()
        ).hexdigest()
        return os.path.join(self.cache, key + (".dll" if kind == "dll" else ".exe"))

    def compile_pe(self, kind, name, entry, cached):
        """Builds one program or DLL into the cache, unless it is there already."""
        if os.path.exists(cached):
            return
        source, libraries = pe_source(kind, name, entry)
        modules = entry.get("imports", []) + entry.get("delay", [])
        fixture_modules = [m for m in modules if m.upper() not in SYSTEM_MODULES]
        directory = tempfile.mkdtemp(dir=self.work)
        c_file = os.path.join(directory, "fixture.c")
        with open(c_file, "w") as f:
            f.write(source)
        output = os.path.join(directory, name.upper())
        command = self.compiler(entry) + (["-shared"] if kind == "dll" else []) + ["-o", output, c_file]
        command += [self.import_library(m, uses_lld(entry)) for m in fixture_modules]
        command += ["-l" + library for library in libraries]
        result = subprocess.run(command, capture_output=True, text=True)
        if result.returncode != 0:
            raise DescriptionError(f"compiling {name} failed:\n{result.stderr}\n{source}")
        os.replace(output, cached)

    def build_drive(self, root, entries):
        """Makes one drive's tree; gives the PE files to compile and the modes to apply."""
        jobs, modes, links = [], [], []
        for entry in entries:
            kind = entry_kind(entry)
            parts = path_parts(entry[kind])
            target = os.path.join(root, *parts)
            parent = os.path.dirname(target)
            os.makedirs(parent, exist_ok=True)
            if kind == "dir":
                os.makedirs(target, exist_ok=True)
                if "mode" in entry:
                    modes.append((target, entry["mode"]))
            elif kind in ("exe", "dll"):
                for module in entry.get("imports", []) + entry.get("delay", []):
                    if module.upper() not in SYSTEM_MODULES:
                        self.import_library(module, uses_lld(entry))
                jobs.append((kind, parts[-1], entry, target))
            elif kind == "ne":
                with open(target, "wb") as f:
                    f.write(ne_image(module_base(parts[-1]), entry.get("strings", [])))
            elif kind == "file":
                data = entry["bytes"] if "bytes" in entry else entry.get("text", "").encode("latin-1")
                with open(target, "wb") as f:
                    f.write(data)
            else:
                links.append((target, entry["to"]))
        return jobs, modes, links

    def build(self, machine, output):
        drives = machine.get("drives", {})
        letters = {}
        for letter in drives:
            if len(letter) != 1 or not letter.isalpha() or letter.upper() in RESERVED_LETTERS:
                raise DescriptionError(f"drive {letter!r}: a letter other than B, C and Z")
            letters[letter.upper()] = os.path.join(output, letter.lower())
        all_jobs, all_modes, all_links = [], [], []
        for letter, entries in drives.items():
            root = letters[letter.upper()]
            os.makedirs(root, exist_ok=True)
            jobs, modes, links = self.build_drive(root, entries)
            all_jobs += jobs
            all_modes += modes
            all_links += links
        # Equal files (the same name and imports in several places) are built once.
        unique = {}
        for kind, name, entry, target in all_jobs:
            unique.setdefault(self.cache_path(kind, name, entry), (kind, name, entry))
        with concurrent.futures.ThreadPoolExecutor(self.jobs) as pool:
            list(pool.map(lambda item: self.compile_pe(*item[1], item[0]), unique.items()))
        for kind, name, entry, target in all_jobs:
            shutil.copyfile(self.cache_path(kind, name, entry), target)
        for target, to in all_links:
            os.symlink(to, target)
        # Deepest first, so that a closed directory does not stop the next change.
        for target, mode in sorted(all_modes, key=lambda m: -len(m[0])):
            os.chmod(target, mode)
        return letters


def make_writable(function, path, _):
    """rmtree's error handler: opens a directory a description closed, then retries."""
    os.chmod(os.path.dirname(path), stat.S_IRWXU)
    if os.path.isdir(path) and not os.path.islink(path):
        os.chmod(path, stat.S_IRWXU)
    function(path)


def empty_output(output):
    if os.path.lexists(output):
        for directory, subdirectories, _ in os.walk(output):
            for name in subdirectories:
                path = os.path.join(directory, name)
                if not os.path.islink(path):
                    os.chmod(path, stat.S_IRWXU)
        shutil.rmtree(output, onerror=make_writable)
    os.makedirs(output)


def main():
    parser = argparse.ArgumentParser(description="Builds a fixture machine from its description.")
    parser.add_argument("description")
    parser.add_argument("output")
    parser.add_argument("--cc", default="i686-w64-mingw32-gcc")
    parser.add_argument("--dlltool", default="i686-w64-mingw32-dlltool")
    parser.add_argument("--clang", default="clang")
    parser.add_argument("--llvm-dlltool", default="llvm-dlltool")
    parser.add_argument("--cache")
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    output = os.path.abspath(args.output)
    cache = os.path.abspath(args.cache or output.rstrip("/") + ".cache")
    try:
        machine = load_description(args.description)
        empty_output(output)
        builder = Builder(args.cc, args.dlltool, args.clang, args.llvm_dlltool, cache, max(1, args.jobs))
        try:
            letters = builder.build(machine, output)
        finally:
            builder.close()
    except (DescriptionError, KeyError, OSError, subprocess.CalledProcessError) as error:
        print(f"build_machine: {args.description}: {error}", file=sys.stderr)
        return 1
    with open(os.path.join(output, "drives.txt"), "w") as f:
        f.writelines(f"{letter}={folder}\n" for letter, folder in sorted(letters.items()))
    manifest = {key: value for key, value in machine.items() if key != "drives"}
    manifest["drives"] = letters
    manifest.setdefault("shared_dlls", {})
    manifest.setdefault("unlinked", [])
    with open(os.path.join(output, "machine.json"), "w") as f:
        json.dump(manifest, f, indent=2)
        f.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
