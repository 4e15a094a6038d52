#!/usr/bin/python3
"""Checks a whole quick scan by `orvscan` against an independent model of the scan's
rules, on a machine nobody on the team arranged: the test prefix's drive C:, which is
Wine's own installation (hundreds of real DLLs and programs, linked as Wine's build
links them). The model reads import tables with Debian's python3-pefile, walks the
Unix tree of the drive, resolves module names along the same search order, follows
chains of DLLs, and removes what the shared-DLL register names. Both answers must be
the same list of files."""

import os
import re
import subprocess
import sys

import pefile

build, run_sh = sys.argv[1], sys.argv[2]
prefix = os.path.join(build, "wineprefix")
drives = {"C": os.path.join(prefix, "drive_c"), "B": build}
DEFAULT_FILTERS = [(".EXE", 1), (".DLL", 1), (".CNV", 1), (".FLT", 1), (".EQU", 1), (".VBX", 1), (".OCX", 1),
                   (".DRV", 1), (".GRP", 0), (".INI", 0), (".CPL", 1), (".3GR", 1), (".SCR", 1)]
MODULE_EXTENSIONS = [".DLL", ".DRV", ".SYS", ".EXE", ".OCX", ".VBX"]


def windows_to_unix(path):
    drive, rest = path[0].upper(), path[3:]
    return os.path.join(drives[drive], *[p for p in rest.split("\\") if p])


def unix_to_windows(path):
    for letter, root in drives.items():
        if path == root or path.startswith(root + "/"):
            return letter + ":\\" + os.path.relpath(path, root).replace("/", "\\").lstrip(".")
    raise ValueError(path)


listing_cache = {}


def listing(directory):
    """Lower-case name -> real name; Wine's file system ignores case."""
    if directory not in listing_cache:
        try:
            listing_cache[directory] = {n.lower(): n for n in os.listdir(directory)}
        except OSError:
            listing_cache[directory] = {}
    return listing_cache[directory]


def imports_of(path, judged):
    """The reader's answer: None for a file it refuses, else the reduced names."""
    try:
        with open(path, "rb") as f:
            if f.read(2) != b"MZ":
                return None
        pe = pefile.PE(path, fast_load=True)
    except (OSError, pefile.PEFormatError):
        return None
    if pe.OPTIONAL_HEADER.Magic != 0x10B:
        return None
    idata = [s for s in pe.sections if s.Name.split(b"\0")[0].lower() == b".idata"]
    if not idata:
        return []
    if pe.OPTIONAL_HEADER.DATA_DIRECTORY[1].VirtualAddress != idata[0].VirtualAddress:
        judged["unjudged"].append(path)
        return []
    pe.parse_data_directories(directories=[1])
    names = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        name = entry.dll.decode("latin-1")
        if len(name) > 1 and name[1] == ":":
            name = name[2:]
        name = re.split(r"[\\/]", name)[-1]
        if "." in name:
            name = name[: name.rindex(".")]
        names.append(name[:255])
    return names


def resolve(name, directory, search_tail):
    """The file a bare module name resolves to from directory, or None."""
    if "." in name:
        return name if name[name.rindex("."):].upper() == ".DLL" else None
    for position, extension in enumerate(MODULE_EXTENSIONS):
        for folder in [program_dir, directory] + search_tail:
            real = listing(folder).get((name + extension).lower())
            if real and os.path.isfile(os.path.join(folder, real)):
                return os.path.join(folder, real) if position == 0 else None
    return None


def matches(name, extension):
    """Wildcard "*EXT" as the platform matches it: the long name, or the 8.3 name that a
    long name gets, whose extension is the first three characters of its last one."""
    if name.upper().endswith(extension):
        return True
    base, dot, ext = name.rpartition(".")
    short_ext = re.sub(r"[^A-Za-z0-9!#$%&'()\-@^_`{}~]", "", ext)[:3].upper()
    is_short = bool(dot) and 1 <= len(base) <= 8 and len(ext) <= 3 and " " not in name and name.count(".") == 1
    return bool(dot) and not is_short and "." + short_ext == extension


def model(search_tail):
    judged = {"unjudged": []}
    listed, valid, refs = set(), set(), {}
    for root, dirs, files in os.walk(drives["C"]):
        dirs[:] = sorted(d for d in dirs if not os.path.islink(os.path.join(root, d)))
        if len(unix_to_windows(root)) > 259:
            continue
        for extension, kind in DEFAULT_FILTERS:
            kind = 2 if extension == ".DLL" else kind
            for name in files:
                path = os.path.join(root, name)
                if not matches(name, extension) or len(unix_to_windows(path)) > 259 or kind == 0:
                    continue
                names = imports_of(path, judged)
                if names is None:
                    continue
                resolved = {r for r in (resolve(n, root, search_tail) for n in names) if r}
                if kind == 2:
                    listed.add(path)
                    refs[path] = resolved
                else:
                    valid |= resolved
    pending = set().union(*refs.values()) if refs else set()
    worked, queue = set(valid), list(valid)
    while queue:
        dll = queue.pop()
        if dll not in refs and os.path.isfile(dll):
            names = imports_of(dll, judged) or []
            refs[dll] = {r for r in (resolve(n, os.path.dirname(dll), search_tail) for n in names) if r}
        for target in refs.get(dll, ()):
            if target in pending and target not in worked:
                worked.add(target)
                queue.append(target)
    return {p for p in listed if p not in worked}, judged


def windows_output(*command, stdin=None):
    return subprocess.run([run_sh, build, *command], input=stdin, capture_output=True, text=True,
                          encoding="latin-1", check=True, timeout=600).stdout


program_dir = os.path.join(build, "bin")
path_dirs = windows_output("cmd", "/c", "echo %PATH%").strip().split(";")
search_tail = [windows_to_unix(d) for d in ["C:\\windows\\system32", "C:\\windows\\system", "C:\\windows"]]
search_tail += [windows_to_unix(d) for d in path_dirs if len(d) > 2 and d[1] == ":" and d[0].upper() in drives]

with open(os.path.join(prefix, "system.reg"), encoding="latin-1") as f:
    registry = f.read()
shared = re.search(r"^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\SharedDLLs\][^\n]*\n(.*?)\n\n",
                   registry, re.S | re.M)
shared_names = re.findall(r'^"(.*?)"=', shared.group(1), re.M) if shared else []

expected, judged = model(search_tail)
expected -= {windows_to_unix(n.replace("\\\\", "\\")) for n in shared_names if n[1:3] == ":\\"}

scan = windows_output(os.path.join(build, "bin", "orvscan.exe"), "--quick")
lines = [l.rstrip("\r") for l in scan.splitlines()]
summary, short_paths = lines[-1], [l for l in lines[:-1] if l]
long_paths = windows_output(os.path.join(build, "bin", "long_names.exe"), stdin="\n".join(short_paths) + "\n")
got = {windows_to_unix(p.strip()) for p in long_paths.splitlines() if p.strip()}

norm = lambda paths: {p.lower() for p in paths}
missing, extra = norm(expected) - norm(got), norm(got) - norm(expected)
print(f"model: {len(expected)} unlinked; orvscan: {len(got)} listed; summary:{summary}")
print(f"files the model could not judge (imports outside .idata's start): {len(judged['unjudged'])}")
for p in sorted(missing)[:20]:
    print("only in the model:", p)
for p in sorted(extra)[:20]:
    print("only in orvscan:  ", p)
ok = not missing and not extra and len(expected) > 100 and not judged["unjudged"]
ok = ok and summary.startswith(f" {len(got)} possibly unlinked .DLLs listed.")
sys.exit(0 if ok else 1)
