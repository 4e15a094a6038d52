#!/usr/bin/python3
"""The release archive as a Windows user gets it: built, checked, unpacked into a folder
with a blank in its name on a fresh Wine prefix (none of the build's files on any of
its drives), and run from there on the demo's sample machine mapped as D:.

Usage: unpacked_release.py BUILD_DIR ARCHIVE VERSION"""

import json
import os
import shutil
import subprocess
import sys
import zipfile

build, archive, version = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]
if not os.environ.get("DISPLAY"):
    os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", sys.executable, *sys.argv])

wine_scripts = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine")
prefix = os.path.join(build, "release-test", "prefix")
folder = r"C:\Program Files\Orvenna Test"
machine_dir = os.path.join(build, "machines", "sample")
shared_key = r"HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs"
environment = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED:", message)


def wine(*args):
    # The prefix's C: root, so that nothing is found in the current directory by chance.
    return subprocess.run(["wine", *args], capture_output=True, text=True, encoding="latin-1",
                          env=environment, cwd=os.path.join(prefix, "drive_c"), timeout=600)


def check_archive():
    with zipfile.ZipFile(archive) as zipped:
        names = sorted(zipped.namelist())
        expected = ["LICENSE.TXT", "ORVENNA.HLP", "README.TXT", "orvenna.exe", "orvscan.exe", "qemcom95.dll"]
        check(names == expected, f"archive holds {names}, expected {expected}")
        for text in ("README.TXT", "LICENSE.TXT"):
            content = zipped.read(text) if text in names else b""
            lone = content.replace(b"\r\n", b"").count(b"\n")
            check(content.count(b"\r\n") > 10 and lone == 0, f"{text}: {lone} lines end without CR")


def install():
    subprocess.run(["wineserver", "-k"], env=environment, capture_output=True)
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run([os.path.join(wine_scripts, "make-prefix.sh"), prefix], check=True)
    with zipfile.ZipFile(archive) as zipped:
        zipped.extractall(os.path.join(prefix, "drive_c", *folder[3:].split("\\")))
    with open(os.path.join(machine_dir, "machine.json")) as f:
        machine = json.load(f)
    for letter, directory in machine["drives"].items():
        os.symlink(directory, os.path.join(prefix, "dosdevices", letter.lower() + ":"))
    for name, count in machine["shared_dlls"].items():
        added = wine("reg", "add", shared_key, "/v", name, "/t", "REG_DWORD", "/d", str(count), "/f")
        check(added.returncode == 0, f"registering {name}: {added.stderr[-300:]}")
    return machine


def check_version():
    result = wine(folder + r"\orvscan.exe", "--version")
    check(result.returncode == 0, f"--version: exit status {result.returncode}: {result.stderr[-300:]}")
    check(result.stdout.strip() == f"orvscan {version}", f"--version prints {result.stdout!r}")


def check_scan(machine):
    result = wine(folder + r"\orvscan.exe", "--quick")
    lines = [line.rstrip("\r") for line in result.stdout.splitlines() if line.strip()]
    on_d = sorted(p.upper() for p in lines[:-1] if p.upper().startswith("D:\\"))
    check(result.returncode == 0, f"scan: exit status {result.returncode}: {result.stderr[-300:]}")
    check(on_d == sorted(p.upper() for p in machine["unlinked"]), f"scan: D: lists {on_d}")
    check(bool(lines) and lines[-1].startswith(f" {len(lines) - 1} possibly unlinked .DLLs listed."),
          f"scan: summary {lines[-1:]} after {len(lines) - 1} paths")


def main():
    subprocess.run(["cmake", "--build", build, "--target", "release_archive", "machine_sample"], check=True)
    check_archive()
    try:
        machine = install()
        check_version()
        check_scan(machine)
        # ---- orvscan why, run from the unpacked folder: its checks go here. ----
    finally:
        subprocess.run(["wineserver", "-k"], env=environment, capture_output=True)
    print(f"{len(failures)} check(s) failed" if failures else "unpacked release: all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
