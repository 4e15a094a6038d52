#!/usr/bin/python3
"""Checks `orvscan imports` against an independent reader (Debian's python3-pefile)
on PE files that nobody on the team wrote: Wine's own DLLs in the test prefix
(PE32 in system32, 16-bit NE in system) and the MinGW runtime's DLLs, 32- and
64-bit. For a PE32 file whose import directory starts its .idata section, the
names must be exactly the descriptors' names without extension, duplicates kept;
NE and PE32+ files must answer -1. With --modern, every PE32 file must give the names
of its import and delay-load directories and the modules its export directory forwards
to, as pefile finds them."""

import glob
import os
import shutil
import subprocess
import sys

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import scan_model  # noqa: E402

build, run_sh = sys.argv[1], sys.argv[2]
prefix_c = os.path.join(build, "wineprefix", "drive_c")
fixtures = os.path.join(build, "fixtures", "cli")


def expected_answer(path):
    """(-1, None) for files the reader must refuse; (n, names) for PE32 files;
    None when the file is outside what this oracle can judge."""
    with open(path, "rb") as f:
        head = f.read(2)
    if head != b"MZ":
        return None
    try:
        pe = pefile.PE(path, fast_load=True)
    except pefile.PEFormatError:
        return (-1, None)  # NE, or no PE signature
    if pe.OPTIONAL_HEADER.Magic != 0x10B:
        return (-1, None)  # PE32+
    idata = [s for s in pe.sections if s.Name.rstrip(b"\0").lower() == b".idata"]
    if not idata:
        return (0, [])
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[1]
    if directory.VirtualAddress != idata[0].VirtualAddress:
        return None
    pe.parse_data_directories(directories=[1])
    names = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        name = entry.dll.decode("latin-1")
        base = name.replace("/", "\\").rsplit("\\", 1)[-1]
        names.append(base.rsplit(".", 1)[0] if "." in base else base)
    return (len(names), names)


def windows_path(path):
    if path.startswith(prefix_c + "/"):
        return "C:\\" + path[len(prefix_c) + 1 :].replace("/", "\\")
    return "B:\\" + os.path.relpath(path, build).replace("/", "\\")


def run_orvscan(paths, options=()):
    out = subprocess.run(
        [run_sh, build, os.path.join(build, "bin", "orvscan.exe"), "imports", *options]
        + [windows_path(p) for p in paths],
        check=True,
        capture_output=True,
        text=True,
        encoding="latin-1",
    ).stdout
    results, current = {}, None
    for line in out.splitlines():
        if line.startswith("\t"):
            results[current][1].append(line[1:])
        else:
            answer, given = line.split("\t", 1)
            current = given
            results[current] = (int(answer), [])
    return results


def main():
    os.makedirs(fixtures, exist_ok=True)
    candidates = []
    runtime = [f"/usr/{t}/lib/{d}" for t in ("i686-w64-mingw32", "x86_64-w64-mingw32")
               for d in ("libwinpthread-1.dll", "zlib1.dll")]
    for source in runtime + sorted(glob.glob("/usr/lib/gcc/i686-w64-mingw32/*-posix/*.dll")):
        if os.path.exists(source):
            target = os.path.join(fixtures, source.strip("/").replace("/", "-"))
            shutil.copyfile(source, target)
            candidates.append(target)
    for folder in ("windows/system32", "windows/system"):
        directory = os.path.join(prefix_c, folder)
        for name in sorted(os.listdir(directory)):
            path = os.path.join(directory, name)
            if name.lower().endswith((".dll", ".drv", ".exe")) and os.path.isfile(path):
                candidates.append(path)

    expected = {}
    for path in candidates:
        answer = expected_answer(path)
        if answer is not None:
            expected[windows_path(path)] = answer

    failures, counts = [], {"PE32 with names": 0, "PE32 without .idata": 0, "refused (-1)": 0}
    paths = [p for p in candidates if windows_path(p) in expected]
    for start in range(0, len(paths), 150):
        got = run_orvscan(paths[start : start + 150])
        for path in paths[start : start + 150]:
            key = windows_path(path)
            want_answer, want_names = expected[key]
            if key not in got:
                failures.append(f"{key}: no output")
                continue
            answer, names = got[key]
            if answer != want_answer:
                failures.append(f"{key}: answer {answer}, expected {want_answer}")
            elif want_names is not None and sorted(names) != sorted(want_names):
                failures.append(f"{key}: names {names}, expected {want_names}")
            elif names != sorted(names, key=lambda n: n.lower()):
                failures.append(f"{key}: names not in case-insensitive order: {names}")
            else:
                kind = "refused (-1)" if answer == -1 else ("PE32 with names" if answer else "PE32 without .idata")
                counts[kind] += 1
    print(", ".join(f"{n} {k}" for k, n in counts.items()), f"of {len(candidates)} files examined")
    if counts["PE32 with names"] < 100 or counts["refused (-1)"] < 3:
        failures.append("too few files of each kind were checked")

    pe32 = [p for p in paths if expected[windows_path(p)][0] != -1]
    for start in range(0, len(pe32), 150):
        got = run_orvscan(pe32[start : start + 150], ["--modern"])
        for path in pe32[start : start + 150]:
            want = scan_model.imports_of(path, {"unjudged": []}, directories=True)
            answer, names = got.get(windows_path(path), (None, []))
            if (answer, sorted(names)) != (len(want), sorted(want)):
                failures.append(f"{windows_path(path)} --modern: {answer} {names}, expected {want}")
    print(f"--modern: {len(pe32)} PE32 files compared, forwarders included")
    for failure in failures[:40]:
        print("FAIL", failure)
    return 1 if failures else 0


sys.exit(main())
