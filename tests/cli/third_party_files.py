#!/usr/bin/python3
"""Checks both readings of import tables on real 32-bit Windows files from packages of
the npm registry, linked by Microsoft's linker, LLVM's and Go's: an image library
(libvips-42, libvips-cpp and the add-on module that loads both, through .rdata and a
delay-load table), 7-Zip, a bundler's add-on, a Go program. The packages are fetched
into the build tree (never into the sources); without npm or the registry the test is
skipped, with the reason.

- `orvscan imports` with each reading gives what pefile reads by the same rule;
- a quick scan of the folder (mapped as D:, with .NOD files examined: the add-on's 8.3
  name ends so) lists what the scan model lists by the same rule: with the import
  directories read, no DLL that an examined file imports; with only .idata read, the
  note on standard error counts the files whose tables lie elsewhere."""

import os
import subprocess
import sys
import tarfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import scan_model  # noqa: E402

SKIPPED = 77
PACKAGES = {  # package -> files wanted from it
    "@img/sharp-win32-ia32@0.33.5": ["lib/libvips-42.dll", "lib/libvips-cpp.dll", "lib/sharp-win32-ia32.node"],
    "7zip-bin@5.2.0": ["win/ia32/7za.exe"],
    "@rollup/rollup-win32-ia32-msvc@4.70.0": ["rollup.win32-ia32-msvc.node"],
    "@esbuild/win32-ia32@0.28.2": ["esbuild.exe"],
}
FILTERS = ".EXE,.DLL,.NOD"

build, run_sh = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
here = os.path.dirname(os.path.abspath(__file__))
with_drives = os.path.join(here, "..", "wine", "with-drives.sh")
orvscan = os.path.join(build, "bin", "orvscan.exe")
tree = os.path.join(build, "fixtures", "third-party", "tree")
failures = []


def fetch():
    """The wanted files under tree/PACKAGE/, fetched once; None, or why they cannot be had."""
    for package, files in PACKAGES.items():
        folder = os.path.join(tree, package.rsplit("@", 1)[0].strip("@").replace("/", "-"))
        if all(os.path.exists(os.path.join(folder, f)) for f in files):
            continue
        os.makedirs(folder, exist_ok=True)
        try:
            packed = subprocess.run(["npm", "pack", package, "--silent"], cwd=folder, capture_output=True, text=True,
                                    timeout=600)
        except (OSError, subprocess.TimeoutExpired) as error:
            return f"npm pack {package}: {error}"
        if packed.returncode != 0:
            return f"npm pack {package}: {packed.stderr.strip()[-300:]}"
        archive_path = os.path.join(folder, packed.stdout.split()[-1])
        with tarfile.open(archive_path) as archive:
            for f in files:
                os.makedirs(os.path.dirname(os.path.join(folder, f)), exist_ok=True)
                with open(os.path.join(folder, f), "wb") as out:
                    out.write(archive.extractfile("package/" + f).read())
        os.remove(archive_path)
    return None


def run(command):
    return subprocess.run(command, capture_output=True, text=True, encoding="latin-1", timeout=600)


def check_imports(files, directories):
    option = "--import-directories" if directories else "--section-imports"
    windows = ["D:\\" + os.path.relpath(f, tree).replace("/", "\\") for f in files]
    result = run([with_drives, build, f"D={tree}", "--", run_sh, build, orvscan, "imports", option] + windows)
    got, current = {}, None
    for line in result.stdout.splitlines():
        if line.startswith("\t"):
            got[current].append(line[1:])
        else:
            answer, current = line.split("\t", 1)
            got[current] = [int(answer)]
    for path, name in zip(files, windows):
        judged = {"unjudged": []}
        want = scan_model.imports_of(path, judged, directories)
        if judged["unjudged"]:
            continue
        answer, *names = got.get(name, [None])
        if (answer, sorted(names)) != (len(want), sorted(want)):
            failures.append(f"{name} {option}: {answer} {names}, expected {len(want)} {want}")


def check_scan(directories, path_dirs):
    option = "--import-directories" if directories else "--section-imports"
    drives = scan_model.Drives({"C": os.path.join(build, "wineprefix", "drive_c"), "D": tree})
    filters = [(e, 1) for e in FILTERS.split(",")]
    model = scan_model.QuickScan(drives, os.path.join(build, "bin"), scan_model.search_tail(drives, path_dirs),
                                 directories, filters)
    expected = {p.lower() for p in model.run([]) if p.startswith(tree + "/")}
    result = run([with_drives, build, f"D={tree}", "--", run_sh, build, orvscan, "--quick", option,
                  "--filters", FILTERS])
    listed = [line.rstrip("\r") for line in result.stdout.splitlines()[:-1] if line.upper().startswith("D:\\")]
    long_paths = subprocess.run([with_drives, build, f"D={tree}", "--", run_sh, build,
                                 os.path.join(build, "bin", "long_names.exe")], input="\n".join(listed) + "\n",
                                capture_output=True, text=True, encoding="latin-1", timeout=600).stdout
    got = {drives.to_unix(p.strip()).lower() for p in long_paths.splitlines() if p.strip()}
    if got != expected:
        failures.append(f"scan {option}: only orvscan {sorted(got - expected)}, only the model {sorted(expected - got)}")
    vips = {p for p in expected if "libvips" in p}
    if len(vips) != (0 if directories else 2):
        failures.append(f"scan {option}: the model lists {sorted(vips)} of the image library")
    noted = "examined files keep their import tables outside .idata" in result.stderr
    if noted == directories:
        failures.append(f"scan {option}: standard error {result.stderr[-300:]!r}")
    print(f"scan {option}: {len(got)} listed on D:, {len(expected)} by the model")


def main():
    reason = fetch()
    if reason:
        print(f"SKIPPED: the third-party files cannot be had ({reason})")
        return SKIPPED
    files = sorted(os.path.join(root, name) for root, _, names in os.walk(tree) for name in names)
    print("files:", ", ".join(os.path.relpath(f, tree) for f in files))
    for directories in (False, True):
        check_imports(files, directories)
    path_dirs = run([run_sh, build, "cmd", "/c", "echo %PATH%"]).stdout.strip().split(";")
    for directories in (False, True):
        check_scan(directories, path_dirs)
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


sys.exit(main())
