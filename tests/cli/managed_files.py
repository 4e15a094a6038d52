#!/usr/bin/python3
"""The modern reading of .NET files, on real ones of each package's current release: a
.NET Framework program (Debian's KeePass 2) with the Mono class libraries it references
deployed beside it, and a .NET Core runtime for 32-bit Windows from the npm registry laid
out as its installer lays it (dotnet.exe, host\\fxr, shared\\...). Fetched into the build
tree, never into the sources; skipped, with the reason, when they cannot be had.

The assembly references, P/Invoke modules and File-table names that orvscan reads must be
those an independent reading of the tables gives (the scan model's), and a quick scan of
the tree (mapped as D:) must list what the model lists: with --modern none of the
program's and runtime's assemblies, nor the system DLLs the program's P/Invoke
declarations load; with --classic the assemblies, and the note on managed files."""

import os
import shutil
import subprocess
import sys
import tarfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import scan_model  # noqa: E402

DEBIAN = ["keepass2", "libmono-corlib4.5-dll", "libmono-system4.0-cil", "libmono-system-core4.0-cil",
          "libmono-system-drawing4.0-cil", "libmono-system-security4.0-cil", "libmono-system-windows-forms4.0-cil",
          "libmono-system-xml4.0-cil"]
RUNTIME = "dotnet-2.1-win-ia32"
# System DLLs the program loads only through P/Invoke: with --modern none may be listed.
PINVOKED = ["dwmapi.dll", "ktmw32.dll", "uxtheme.dll"]

build, run_sh = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
with_drives = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine", "with-drives.sh")
fixture = os.path.join(build, "fixtures", "managed")
tree = os.path.join(fixture, "tree")
failures = []


def run(command, cwd):
    try:
        done = subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=600)
    except (OSError, subprocess.TimeoutExpired) as error:
        return f"{command[0]}: {error}"
    return None if done.returncode == 0 else f"{' '.join(command[:2])}: {done.stderr.strip()[-300:]}"


def fetch():
    """The program with its class libraries under tree/KeePass, the runtime under
    tree/dotnet; None, or why they cannot be had."""
    shutil.rmtree(fixture, ignore_errors=True)
    debs, unpacked = os.path.join(fixture, "debs"), os.path.join(fixture, "unpacked")
    os.makedirs(debs)
    reason = run(["apt-get", "download", *DEBIAN], debs)
    for deb in sorted(os.listdir(debs)) if not reason else []:
        reason = reason or run(["dpkg-deb", "-x", os.path.join(debs, deb), unpacked], debs)
    if reason:
        return reason
    program = os.path.join(tree, "KeePass")
    shutil.copytree(os.path.join(unpacked, "usr", "lib", "keepass2"), program)
    libraries = os.path.join(unpacked, "usr", "lib", "mono", "4.5")
    for name in os.listdir(libraries):
        if name.lower().endswith(".dll"):
            shutil.copy(os.path.join(libraries, name), program)  # the links followed
    os.makedirs(os.path.join(fixture, "npm"))
    reason = run(["npm", "pack", RUNTIME, "--silent"], os.path.join(fixture, "npm"))
    if reason:
        return reason
    archive_name = [n for n in os.listdir(os.path.join(fixture, "npm")) if n.endswith(".tgz")][0]
    with tarfile.open(os.path.join(fixture, "npm", archive_name)) as archive:
        archive.extractall(os.path.join(fixture, "npm"), [m for m in archive.getmembers() if m.isfile() or m.isdir()])
    shutil.move(os.path.join(fixture, "npm", "package"), os.path.join(tree, "dotnet"))
    return None


def wine(*command):
    return subprocess.run([with_drives, build, f"D={tree}", "--", run_sh, build, *command], capture_output=True,
                          text=True, encoding="latin-1", timeout=900)


def check_names(files, drives):
    """orvscan's metadata names against the model's reading of the same tables."""
    windows = [drives.to_windows(f) for f in files]
    got, current = {}, None
    for line in wine(os.path.join(build, "bin", "orvscan.exe"), "imports", "--modern", *windows).stdout.splitlines():
        fields = line.split("\t")
        if not line.startswith("\t"):
            current = fields[1]
            got[current] = ([], [], [])
        elif fields[1] in ("assembly", "P/Invoke", "module"):
            kind = ("assembly", "P/Invoke", "module").index(fields[1])
            got[current][kind].append((fields[2], fields[3]) if kind == 0 else fields[2])
    for path, name in zip(files, windows):
        want = scan_model.clr_names(path) or ([], [], [])
        if got.get(name) != tuple(list(w) for w in want):
            failures.append(f"{name}: orvscan {got.get(name)}, the model {want}")
    print(f"metadata of {len(files)} managed files read as the model reads them")


def check_scan(modern, drives, tail):
    option = "--modern" if modern else "--classic"
    model = scan_model.QuickScan(drives, os.path.join(build, "bin"), tail, modern)
    result = model.run([])
    # A file whose .idata holds no import directory the model leaves unjudged.
    unjudged = {p.lower() for p in model.judged["unjudged"]}
    expected = {p.lower() for p in result if p.startswith(tree + "/")} - unjudged
    system = drives.to_unix("C:\\windows\\system32")
    pinvoked = {os.path.join(system, n).lower() for n in PINVOKED}
    expected_system = {p.lower() for p in result if p.lower() in pinvoked}
    scan = wine(os.path.join(build, "bin", "orvscan.exe"), "--quick", option)
    listed = {line.rstrip("\r") for line in scan.stdout.splitlines()[:-1] if line[1:3] == ":\\"}
    long_paths = subprocess.run([with_drives, build, f"D={tree}", "--", run_sh, build,
                                 os.path.join(build, "bin", "long_names.exe")], input="\n".join(listed) + "\n",
                                capture_output=True, text=True, encoding="latin-1", timeout=600).stdout
    unix = {drives.to_unix(p.strip()).lower() for p in long_paths.splitlines() if p.strip()}
    on_tree = {p for p in unix if p.startswith(tree.lower() + "/")} - unjudged
    real = {os.path.join(r, n).lower(): os.path.join(r, n) for r, _, names in os.walk(tree) for n in names}
    assemblies = {p for p in on_tree if p in real and scan_model.clr_names(real[p])}
    noted = "are .NET assemblies" in scan.stderr or "is a .NET assembly" in scan.stderr
    if on_tree != expected or (unix & pinvoked) != expected_system or noted == modern or \
            (modern and (assemblies or expected_system)) or (not modern and not assemblies):
        failures.append(f"scan {option}: listed by orvscan only {sorted((on_tree - expected))}, by the model "
                        f"only {sorted(expected - on_tree)}; of the system's, orvscan {sorted(unix & pinvoked)}, "
                        f"the model {sorted(expected_system)}; standard error {scan.stderr[-300:]!r}")
    print(f"scan {option}: {len(on_tree)} listed on D: ({len(assemblies)} managed), as by the model")


def main():
    reason = fetch()
    if reason:
        print(f"SKIPPED: the managed files cannot be had ({reason})")
        return 77
    drives = scan_model.Drives({"C": os.path.join(build, "wineprefix", "drive_c"), "D": tree})
    files = sorted(os.path.join(root, name) for root, _, names in os.walk(tree) for name in names
                   if name.lower().endswith((".dll", ".exe")) and scan_model.clr_names(os.path.join(root, name)))
    check_names(files, drives)
    tail = scan_model.search_tail(drives, wine("cmd", "/c", "echo %PATH%").stdout.strip().split(";"))
    for modern in (False, True):
        check_scan(modern, drives, tail)
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


sys.exit(main())
