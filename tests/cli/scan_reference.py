#!/usr/bin/python3
"""Checks a whole quick scan by `orvscan` against an independent model of the scan's
rules, on a machine nobody on the team arranged: the test prefix's drive C:, which is
Wine's own installation (hundreds of real DLLs and programs, linked as Wine's build
links them). The model (bench/scan_model.py, shared with the benchmark's native peer)
reads import tables with Debian's python3-pefile, walks the Unix tree of the drive,
resolves module names along the same search order, follows chains of DLLs, and removes
what the shared-DLL register names. Both answers must be the same list of files, with
the classic reading and with the modern one (import directories, forwarders, API sets,
side-by-side assemblies of Wine's store, loadable extensions, the modules Wine's registry
names). Without the modern reading, orvscan's note counts the listed DLLs the registry
names, as the model finds them."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import scan_model  # noqa: E402

build, run_sh = sys.argv[1], sys.argv[2]
prefix = os.path.join(build, "wineprefix")
drives = scan_model.Drives({"C": os.path.join(prefix, "drive_c"), "B": build})


def windows_output(*command, stdin=None):
    return subprocess.run([run_sh, build, *command], input=stdin, capture_output=True, text=True,
                          encoding="latin-1", check=True, timeout=600).stdout


path_dirs = windows_output("cmd", "/c", "echo %PATH%").strip().split(";")
environment = dict(line.split("=", 1) for line in windows_output("cmd", "/c", "set").splitlines() if "=" in line)
environment = {name.upper(): value.rstrip("\r") for name, value in environment.items()}
registry = scan_model.registry_strings(prefix, environment)


def compare(modern):
    """One reading's scan against the model's; True when they list the same files."""
    scan = scan_model.QuickScan(drives, os.path.join(build, "bin"), scan_model.search_tail(drives, path_dirs),
                                modern)
    expected = scan.run(scan_model.shared_dll_names(os.path.join(prefix, "system.reg")), registry)
    judged = scan.judged

    option = "--modern" if modern else "--classic"
    ran = subprocess.run([run_sh, build, os.path.join(build, "bin", "orvscan.exe"), "--quick", option],
                         capture_output=True, text=True, encoding="latin-1", check=True, timeout=600)
    lines = [l.rstrip("\r") for l in ran.stdout.splitlines()]
    summary, short_paths = lines[-1], [l for l in lines[:-1] if l]
    long_paths = windows_output(os.path.join(build, "bin", "long_names.exe"), stdin="\n".join(short_paths) + "\n")
    got = {drives.to_unix(p.strip()) for p in long_paths.splitlines() if p.strip()}

    norm = lambda paths: {p.lower() for p in paths}
    missing, extra = norm(expected) - norm(got), norm(got) - norm(expected)
    print(f"{option}: model: {len(expected)} unlinked; orvscan: {len(got)} listed; summary:{summary}")
    if not modern:
        print(f"files the model could not judge (imports outside .idata's start): {len(judged['unjudged'])}")
    for p in sorted(missing)[:20]:
        print("only in the model:", p)
    for p in sorted(extra)[:20]:
        print("only in orvscan:  ", p)
    named = {p.lower() for p in scan.registry_named} & norm(expected)
    note = f"{len(named)} listed DLL{' is' if len(named) == 1 else 's are'} named in the registry"
    print(f"registry-named files: {len(scan.registry_named)}; listed among them: {len(named)}")
    ok = not missing and not extra and len(expected) > (50 if modern else 100)
    ok = ok and (modern or (note in ran.stderr) == bool(named)) and (not modern or not named)
    ok = ok and (modern or not judged["unjudged"])
    return ok and summary.startswith(f" {len(got)} possibly unlinked .DLLs listed.")


sys.exit(0 if all([compare(False), compare(True)]) else 1)
