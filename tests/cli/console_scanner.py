#!/usr/bin/python3
"""The console scanner as a script sees it: exit statuses, bad arguments, --help,
and Ctrl+C during a scan of the test prefix (whose C: is Wine's own installation)."""

import os
import signal
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
for word in ("imports FILE", "--quick", "--full", "--filters", "--prefix", "--suffix", "--output", "130"):
    check(word in help_run.stdout, f"--help does not describe {word}")

for args, why in (
    (["--bogus"], "unknown option"),
    (["--filters", "EXE"], "extension without a dot"),
    (["--filters", ".EXE:7"], "kind other than 0 or 1"),
    (["--filters", ".TOOLONG"], "extension of more than three characters"),
    (["--prefix"], "option without its value"),
    (["--output", ""], "empty output name"),
    (["imports"], "imports without a file"),
):
    result = run(*args)
    check(result.returncode == 2, f"{why}: exit {result.returncode}, expected 2")
    check("orvscan:" in result.stderr, f"{why}: no message on standard error")
    check(result.stdout == "", f"{why}: wrote to standard output")

# Ctrl+C once the scan has begun: the scan stops as Stop stops it.
process = subprocess.Popen([run_sh, build, orvscan], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
deadline = time.time() + 120
line = ""
while time.time() < deadline:
    line = process.stderr.readline()
    if "Scanning for .DLLs" in line or not line:
        break
time.sleep(1)
process.send_signal(signal.SIGINT)
out, err = process.communicate(timeout=120)
check(process.returncode == 130, f"Ctrl+C: exit {process.returncode}, expected 130")
check(" Scanning interrupted." in err, "Ctrl+C: no ' Scanning interrupted.' on standard error")
check(out == "", "Ctrl+C: a list was printed after all")

for failure in failures:
    print("FAIL", failure)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
