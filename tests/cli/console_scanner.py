#!/usr/bin/python3
"""The console scanner as a script sees it: exit statuses, bad arguments and --help.
(Ctrl+C during a scan is checked with the whole scans, tests/scan/whole_scans.py.)"""

import os
import subprocess
import sys
import time

build, run_sh = sys.argv[1], sys.argv[2]
orvscan = os.path.join(build, "bin", "orvscan.exe")
failures = []


def run(*args):
    return subprocess.run([run_sh, build, orvscan, *args], capture_output=True, text=True, timeout=300)


def check(condition, what):
    if not condition:
        failures.append(what)


help_run = run("--help")
check(help_run.returncode == 0, f"--help exits {help_run.returncode}")
for word in ("imports [", "--quick", "--full", "--modern", "--classic", "--import-directories", "--section-imports", "--filters", "--prefix",
             "--suffix", "--output", "--version", "130", "why [--quick", "--format tsv|json", "short_path",
             "long_path", "file_version", "linked_from", "3 when", "--drives", "--64-bit", "--32-bit-only", "bits"):
    check(word in help_run.stdout, f"--help does not describe {word}")

for args, why in (
    (["--bogus"], "unknown option"),
    (["--filters", "E.XE"], "a dot inside the extension"),
    (["--drives", "AC"], "a drive before C:"),
    (["--filters", ".EXE:7"], "kind other than 0 or 1"),
    (["--filters", ".TOOLONGXX"], "extension of more than eight characters"),
    (["--prefix"], "option without its value"),
    (["--output", ""], "empty output name"),
    (["imports"], "imports without a file"),
    (["why", "--quick"], "why without a target"),
    (["why", "--output", "list.txt", "A.DLL"], "why with a list option"),
    (["--format", "xml"], "unknown format"),
    (["--format", "json", "--prefix", "del"], "a prefix for records"),
    (["A.DLL"], "a target without why"),
):
    result = run(*args)
    check(result.returncode == 2, f"{why}: exit {result.returncode}, expected 2")
    check("orvscan:" in result.stderr, f"{why}: no message on standard error")
    check(result.stdout == "", f"{why}: wrote to standard output")

# A full disk: the list file is a link to the kernel's full device, whose writes fail
# as a full disk's do. Wine cannot remove such a link, so this run does.
full = os.path.join(build, "full-output.lst")
if os.path.lexists(full):
    os.remove(full)
os.symlink("/dev/full", full)
try:
    result = run("--quick", "--output", "B:\\full-output.lst")
finally:
    os.remove(full)
check(result.returncode == 1 and "orvscan: cannot write the list to B:\\full-output.lst" in result.stderr,
      f"full disk: exit {result.returncode}, {result.stderr[-200:]!r}")
check(result.stdout == "", "full disk: a summary on standard output")

# A list file that cannot be made fails before the scan; the dialog's way of typing an
# extension, without its dot, is taken.
started = time.monotonic()
result = run("--filters", "EXE,ini:0", "--output", "B:\\no-such-folder\\out.lst")
check(result.returncode == 1 and "cannot write the list to B:\\no-such-folder" in result.stderr
      and time.monotonic() - started < 10, f"unmakable output: exit {result.returncode}, {result.stderr[-200:]!r}")

# A relative list file lands where orvscan started (B:\), wherever the scan went.
relative = os.path.join(build, "relative-output.lst")
if os.path.exists(relative):
    os.remove(relative)
result = run("--quick", "--output", "relative-output.lst")
check(result.returncode == 0 and os.path.exists(relative), f"relative output: exit {result.returncode}, not in B:\\")
if os.path.exists(relative):
    os.remove(relative)

result = run("imports", "B:\\no-such-file.dll")
check(result.returncode == 3 and result.stdout.startswith("not found"),
      f"imports of no file: exit {result.returncode}, {result.stdout!r}")

for failure in failures:
    print("FAIL", failure)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
