#!/usr/bin/python3
"""Both readings of import tables on real 32-bit Windows files of npm packages, linked by
Microsoft's, LLVM's and Go's linkers, each package's current release: an image library
(libvips-42, libvips-cpp-8.x.y, whose dotted name must resolve, and the add-on module
that loads both, through .rdata and a delay-load table), 7-Zip, a bundler's add-on, a
Go program. Fetched into the build tree, never into the sources;
skipped, with the reason, without npm or the registry. Each reading must give what
pefile reads by the same rule, and a quick scan of the folder (mapped as D:, .NOD files
examined too) must list what the scan model lists: with the directories read, none of
the library's DLLs; with .idata only, both, and the note on standard error. A full scan
with the modern reading also takes the names the Go program writes in UTF-16."""

import os
import re
import shutil
import subprocess
import sys
import tarfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import scan_model  # noqa: E402

# package -> the files wanted from its current release: the image library's names carry
# its version ("libvips-cpp-8.18.8.dll"), so they are matched rather than named.
PACKAGES = {
    "@img/sharp-win32-ia32": r"lib/[^/]+\.(dll|node)",
    "7zip-bin": r"win/ia32/7za\.exe",
    "@rollup/rollup-win32-ia32-msvc": r"[^/]+\.node",
    "@esbuild/win32-ia32": r"esbuild\.exe",
}
FILTERS = ".EXE,.DLL,.NOD"

build, run_sh = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
with_drives = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine", "with-drives.sh")
tree = os.path.join(build, "fixtures", "third-party", "tree")
failures = []


def fetch():
    """The wanted files under tree/PACKAGE/, of the release current at each run (npm keeps
    the archives it has fetched); None, or why they cannot be had."""
    for package, wanted in PACKAGES.items():
        folder = os.path.join(tree, package.strip("@").replace("/", "-"))
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        try:
            packed = subprocess.run(["npm", "pack", package, "--silent"], cwd=folder, capture_output=True,
                                    text=True, timeout=600)
        except (OSError, subprocess.TimeoutExpired) as error:
            return f"npm pack {package}: {error}"
        if packed.returncode != 0:
            return f"npm pack {package}: {packed.stderr.strip()[-300:]}"
        archive_path = os.path.join(folder, packed.stdout.split()[-1])
        with tarfile.open(archive_path) as archive:
            for member in archive.getmembers():
                f = member.name.removeprefix("package/")
                if member.isfile() and re.fullmatch(wanted, f):
                    os.makedirs(os.path.dirname(os.path.join(folder, f)), exist_ok=True)
                    with open(os.path.join(folder, f), "wb") as out:
                        out.write(archive.extractfile(member).read())
        os.remove(archive_path)
    return None


def wine(*command, stdin=None):
    return subprocess.run([with_drives, build, f"D={tree}", "--", run_sh, build, *command], input=stdin,
                          capture_output=True, text=True, encoding="latin-1", timeout=600)


def check(directories, files, drives, tail):
    option = "--modern" if directories else "--classic"
    windows = [drives.to_windows(f) for f in files]
    got, current = {}, None
    for line in wine(os.path.join(build, "bin", "orvscan.exe"), "imports", option, *windows).stdout.splitlines():
        if line.startswith("\t"):
            got[current].append(line[1:])
        else:
            answer, current = line.split("\t", 1)
            got[current] = [int(answer)]
    for path, name in zip(files, windows):
        want = scan_model.imports_of(path, {"unjudged": []}, directories)
        if got.get(name, [None])[0] != len(want) or sorted(got[name][1:]) != sorted(want):
            failures.append(f"{name} {option}: {got.get(name)}, expected {len(want)} {want}")

    model = scan_model.QuickScan(drives, os.path.join(build, "bin"), tail, directories,
                                 [(e, 1) for e in FILTERS.split(",")])
    expected = {p.lower() for p in model.run([]) if p.startswith(tree + "/")}
    scan = wine(os.path.join(build, "bin", "orvscan.exe"), "--quick", option, "--filters", FILTERS)
    listed = [line.rstrip("\r") for line in scan.stdout.splitlines()[:-1] if line.upper().startswith("D:\\")]
    long_paths = wine(os.path.join(build, "bin", "long_names.exe"), stdin="\n".join(listed) + "\n").stdout
    listed = {drives.to_unix(p.strip()).lower() for p in long_paths.splitlines() if p.strip()}
    library = [p for p in expected if "libvips" in p]
    notes = ("keep their import tables outside .idata", "forward exports to other DLLs",
             ".NODE, .PYD, .AX or .XLL were not examined")
    noted = [note in scan.stderr for note in notes]
    if listed != expected or len(library) != (0 if directories else 2) or noted != [not directories] * 3:
        failures.append(f"scan {option}: orvscan {sorted(listed)}, the model {sorted(expected)}, "
                        f"standard error {scan.stderr[-300:]!r}")
    print(f"scan {option}: {len(listed)} listed on D:, as by the model")


def check_program_names(drives):
    """The Go program loads powrprof.dll by a name written in UTF-16: only a full scan with
    the modern reading finds it in the program's bytes, and keeps a copy beside it."""
    copy = os.path.join(tree, "esbuild-win32-ia32", "POWRPROF.DLL")
    shutil.copyfile(drives.to_unix("C:\\windows\\system32\\powrprof.dll"), copy)
    for option, kept in (("--classic", False), ("--modern", True)):
        scan = wine(os.path.join(build, "bin", "orvscan.exe"), "--full", option, "--drives", "D", "--filters",
                    FILTERS)
        listed = [line for line in scan.stdout.splitlines() if line.upper().rstrip("\r").endswith("\\POWRPROF.DLL")]
        if scan.returncode != 0 or bool(listed) == kept:
            failures.append(f"full scan {option}: POWRPROF.DLL beside the Go program listed: {listed}")
        print(f"full scan {option}: the copy of POWRPROF.DLL beside the Go program", "kept" if kept else "listed")
    os.remove(copy)


def main():
    reason = fetch()
    if reason:
        print(f"SKIPPED: the third-party files cannot be had ({reason})")
        return 77
    files = sorted(os.path.join(root, name) for root, _, names in os.walk(tree) for name in names)
    print("files:", ", ".join(os.path.relpath(f, tree) for f in files))
    drives = scan_model.Drives({"C": os.path.join(build, "wineprefix", "drive_c"), "D": tree})
    tail = scan_model.search_tail(drives, wine("cmd", "/c", "echo %PATH%").stdout.strip().split(";"))
    for directories in (False, True):
        check(directories, files, drives, tail)
    check_program_names(drives)
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


sys.exit(main())
