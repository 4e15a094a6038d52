#!/usr/bin/python3
"""Include 64-bit DLLs, in a 64-bit prefix (System32 64-bit, SysWOW64 32-bit) with a
drive D: of fixtures built here by both compilers: a program of each width importing a
SAME.DLL of its own width beside it; a 64-bit program whose folder holds a 32-bit
PAIR.DLL, which its loader passes over for the 64-bit one in System32; a 32-bit
ONLY64N.DLL in SysWOW64 that only that 64-bit program names; a 64-bit DLL that nothing
imports. With --64-bit the whole list (Wine's own C: as well) is checked against the
independent model (bench/scan_model.py) in both worlds, with either reading, the modern
one with the links the registry holds; without it no 64-bit file is
listed and orvscan says how many it left out."""

import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import scan_model  # noqa: E402

build = os.path.abspath(sys.argv[1])
prefix = os.path.join(build, "wineprefix64")
sources = os.path.join(os.path.dirname(os.path.abspath(__file__)), "worlds")
tree = os.path.join(build, "worlds")
drive_c = os.path.join(prefix, "drive_c")
system32, syswow64 = os.path.join(drive_c, "windows", "system32"), os.path.join(drive_c, "windows", "syswow64")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def compile_to(path, width, source, *args):
    compiler = "x86_64-w64-mingw32-gcc" if width == 64 else "i686-w64-mingw32-gcc"
    os.makedirs(os.path.dirname(path), exist_ok=True)
    shared = ["-shared"] if path.upper().endswith(".DLL") else []
    subprocess.run([compiler, "-s", *shared, "-o", path, os.path.join(sources, source), *args], check=True)


def library(path, width, export):
    compile_to(path, width, "library.c", f"-DEXPORT={export}")


# Import libraries are the DLLs themselves, linked against where they were built.
shutil.rmtree(tree, ignore_errors=True)
libs = {w: os.path.join(tree, f"libs{w}") for w in (32, 64)}
for width, folder in libs.items():
    for name, export in (("SAME.DLL", "same_value"), ("PAIR.DLL", "pair_value"), ("ONLY64N.DLL", "only_value")):
        library(os.path.join(folder, name), width, export)
d = os.path.join(tree, "d")
compile_to(os.path.join(d, "app64", "PROG64.EXE"), 64, "program.c", "-DNAMES_BOTH",
           *(os.path.join(libs[64], n) for n in ("SAME.DLL", "PAIR.DLL", "ONLY64N.DLL")))
compile_to(os.path.join(d, "app32", "PROG32.EXE"), 32, "program.c", os.path.join(libs[32], "SAME.DLL"))
library(os.path.join(d, "app64", "SAME.DLL"), 64, "same_value")
library(os.path.join(d, "app32", "SAME.DLL"), 32, "same_value")
library(os.path.join(d, "app64", "PAIR.DLL"), 32, "pair_value")
library(os.path.join(d, "lone", "LONE64.DLL"), 64, "lone_value")
library(os.path.join(system32, "PAIR.DLL"), 64, "pair_value")
library(os.path.join(syswow64, "ONLY64N.DLL"), 32, "only_value")
for name in ("libs32", "libs64"):
    shutil.rmtree(os.path.join(tree, name))

devices = os.path.join(prefix, "dosdevices")
if os.path.lexists(os.path.join(devices, "d:")):
    os.remove(os.path.join(devices, "d:"))
os.symlink(d, os.path.join(devices, "d:"))
env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
env.pop("WINEARCH", None)


def windows(*command, stdin=None):
    display = [] if os.environ.get("DISPLAY") else ["xvfb-run", "-a"]
    result = subprocess.run([*display, "wine", *command], input=stdin, capture_output=True, text=True,
                            encoding="latin-1", env=env, cwd=build, timeout=900)
    return result.stdout, result.stderr


drives = scan_model.Drives({"C": drive_c, "D": d, "B": build})


def listed(*options):
    """The long Unix paths orvscan lists, and its standard error."""
    out, err = windows(os.path.join(build, "bin", "orvscan.exe"), "--quick", *options)
    short_paths = [l.strip() for l in out.splitlines()[:-1] if l.strip()]
    long_paths, _ = windows(os.path.join(build, "bin", "long_names.exe"), stdin="\n".join(short_paths) + "\n")
    return {drives.to_unix(p.strip()).lower() for p in long_paths.splitlines() if p.strip()}, err


try:
    path_dirs = windows("cmd", "/c", "echo %PATH%")[0].strip().split(";")
    # The registry's values expand as orvscan, a 32-bit process, expands them.
    variables = windows("c:\\windows\\syswow64\\cmd.exe", "/c", "set")[0].splitlines()
    environment = {n.upper(): v.rstrip("\r") for n, v in (l.split("=", 1) for l in variables if "=" in l)}
    with_64, _ = listed("--classic", "--64-bit")
    modern_64, _ = listed("--modern", "--64-bit")
    without, note = listed("--classic", "--32-bit-only")
finally:
    os.remove(os.path.join(devices, "d:"))

fixture = lambda *parts: os.path.join(*parts).lower()
for path, expected in ((fixture(d, "app64", "PAIR.DLL"), True), (fixture(syswow64, "ONLY64N.DLL"), True),
                       (fixture(d, "lone", "LONE64.DLL"), True), (fixture(d, "app64", "SAME.DLL"), False),
                       (fixture(d, "app32", "SAME.DLL"), False), (fixture(system32, "PAIR.DLL"), False)):
    check((path in with_64) == expected, f"--64-bit: {path} {'not ' if expected else ''}listed")
# Without the switch this 32-bit process sees SysWOW64 under System32's name as well.
seen = lambda p: p.replace(system32.lower(), syswow64.lower())
check(not [p for p in without if scan_model.width_of(seen(p)) == 64] and fixture(d, "app64", "PAIR.DLL") in without,
      "--32-bit-only: a 64-bit file listed, or the 32-bit PAIR.DLL not")
check(" 64-bit DLLs were left out; --64-bit lists and reads them." in note, f"no note of 64-bit DLLs: {note!r}")

for modern, got in ((False, with_64), (True, modern_64)):
    scan = scan_model.QuickScan(drives, os.path.join(build, "bin"), scan_model.search_tail(drives, path_dirs), modern,
                                worlds={w: scan_model.search_tail(drives, path_dirs, w) for w in (32, 64)})
    expected = {p.lower() for p in scan.run(scan_model.shared_dll_names(os.path.join(prefix, "system.reg")),
                                            scan_model.registry_strings(prefix, environment))}
    widths = {w: len([p for p in expected if scan_model.width_of(p) == w]) for w in (32, 64)}
    reading = "--modern" if modern else "--classic"
    print(f"{reading} --64-bit: model: {len(expected)} unlinked ({widths[32]} 32-bit, {widths[64]} 64-bit); "
          f"orvscan: {len(got)} listed")
    for p in sorted(expected - got)[:20]:
        print("only in the model:", p)
    for p in sorted(got - expected)[:20]:
        print("only in orvscan:  ", p)
    check(expected == got and min(widths.values()) > 50, f"{reading} --64-bit: the list is not the model's")
print(f"--32-bit-only: {len(without)} listed")
for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
