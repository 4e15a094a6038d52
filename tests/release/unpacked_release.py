#!/usr/bin/python3
"""The release archive as a Windows user gets it: built, unpacked into a folder with a
blank in its name on a fresh Wine prefix (no drive of it reaches the build), and run
from there on the demo's sample machine mapped as D:.
Usage: unpacked_release.py BUILD_DIR ARCHIVE VERSION"""

import json
import os
import shutil
import subprocess
import sys
import zipfile

build, archive, version = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]
prefix = os.path.join(build, "release-test", "prefix")
folder = r"C:\Program Files\Orvenna Test"
env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all",
           WINEDLLOVERRIDES="mscoree,mshtml=")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED:", message)


def wine(*args):
    # From C:\, so that nothing is found in the current directory by chance.
    return subprocess.run(["wine", *args], capture_output=True, text=True, encoding="latin-1", env=env,
                          cwd=os.path.join(prefix, "drive_c"), timeout=600)


subprocess.run(["cmake", "--build", build, "--target", "release_archive", "machine_sample"], check=True)
with zipfile.ZipFile(archive) as zipped:
    names = sorted(zipped.namelist())
    check(names == ["LICENSE.TXT", "ORVENNA.HLP", "README.TXT", "WINHELP.HLP", "orvenna.exe", "orvscan.exe",
                    "qemcom95.dll"],
          f"the archive holds {names}")
    for text in set(names) & {"README.TXT", "LICENSE.TXT"}:
        content = zipped.read(text)
        check(content.count(b"\r\n") > 10 and b"\n" not in content.replace(b"\r\n", b""), f"{text}: bare LF")

    subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
    shutil.rmtree(prefix, ignore_errors=True)
    wine_scripts = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine")
    subprocess.run([os.path.join(wine_scripts, "make-prefix.sh"), prefix], check=True)
    zipped.extractall(os.path.join(prefix, "drive_c", *folder[3:].split("\\")))
with open(os.path.join(build, "machines", "sample", "machine.json")) as f:
    machine = json.load(f)
try:
    for letter, directory in machine["drives"].items():
        os.symlink(directory, os.path.join(prefix, "dosdevices", letter.lower() + ":"))
    for name, count in machine["shared_dlls"].items():
        added = wine("reg", "add", r"HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs", "/v", name,
                     "/t", "REG_DWORD", "/d", str(count), "/f")
        check(added.returncode == 0, f"registering {name}: {added.stderr[-300:]}")

    result = wine(folder + r"\orvscan.exe", "--version")
    check(result.returncode == 0 and result.stdout.strip() == f"orvscan {version}",
          f"--version: exit status {result.returncode}, {result.stdout!r}")

    result = wine(folder + r"\orvscan.exe", "--quick")
    lines = [line.rstrip("\r") for line in result.stdout.splitlines() if line.strip()]
    on_d = sorted(p.upper() for p in lines[:-1] if p.upper().startswith("D:\\"))
    check(result.returncode == 0, f"scan: exit status {result.returncode}: {result.stderr[-300:]}")
    check(on_d == sorted(p.upper() for p in machine["unlinked"]), f"scan: D: lists {on_d}")
    check(lines[-1:] and lines[-1].startswith(f" {len(lines) - 1} possibly unlinked .DLLs listed."),
          f"scan: summary {lines[-1:]} after {len(lines) - 1} paths")

    result = wine(folder + r"\orvscan.exe", "why", "--quick", "LEFTOVER.DLL")
    check(result.returncode == 0 and result.stdout.replace("\r", "").splitlines()
          == [r"D:\JUNK\LEFTOVER.DLL", "  listed: linked only from listed DLLs:", r"    D:\JUNK\UNUSED.DLL"],
          f"why: exit status {result.returncode}, {result.stdout!r}")
finally:
    subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
print(f"{len(failures)} check(s) failed" if failures else "unpacked release: all checks passed")
sys.exit(1 if failures else 0)
