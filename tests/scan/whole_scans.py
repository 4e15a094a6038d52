#!/usr/bin/python3
"""Whole scans of the test prefix by the console scanner, orvscan.exe:

- the sample machine of the demo mapped as D:, with its shared DLL registered:
  D: lists exactly what the machine is designed to leave unlinked, with Quick Scan
  on ("unlinked") and off ("unlinked_full");
- no fixed drive but C: (Wine's own installation): the scan finishes, lists only
  files of C:, and the summary line counts the lines listed;
- the scan driver's N: (a program whose import tables LLVM's linker put in .rdata):
  read only in .idata, its DLLs are listed and standard error says how many files
  kept their tables elsewhere; read through the import directories, none is;
- Ctrl+C (Wine turns SIGINT into it) during the drive phase: " Scanning
  interrupted." on standard error, no list, exit status 130. A scan of C: alone
  ends within a second, so the scan interrupted is a full one with the walk
  machine's M: (3,000 directories) mapped as well, which takes a few.

Usage: whole_scans.py BUILD_DIR"""

import json
import os
import re
import signal
import subprocess
import sys
import time

build = os.path.abspath(sys.argv[1])
here = os.path.dirname(os.path.abspath(__file__))
wine_scripts = os.path.join(here, "..", "wine")
run_sh = os.path.join(wine_scripts, "run.sh")
with_drives = os.path.join(wine_scripts, "with-drives.sh")
orvscan = os.path.join(build, "bin", "orvscan.exe")
shared_key = r"HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED:", message)
    return condition


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, encoding="latin-1", **kwargs)


def listed_lines(stdout):
    """The result list and the summary line of orvscan's output."""
    lines = [line.rstrip("\r") for line in stdout.splitlines() if line.strip()]
    return lines[:-1], (lines[-1] if lines else "")


def summary_count(summary):
    match = re.match(r" (\d+) possibly unlinked \.DLLs listed\. Disk space taken: [\d,]+ bytes$", summary)
    return int(match.group(1)) if match else None


def scan_sample():
    with open(os.path.join(build, "machines", "sample", "machine.json")) as f:
        machine = json.load(f)
    mappings = [f"{letter}={folder}" for letter, folder in machine["drives"].items()]
    for name, count in machine["shared_dlls"].items():
        run([run_sh, build, "reg", "add", shared_key, "/v", name, "/t", "REG_DWORD", "/d", str(count), "/f"], check=True)
    try:
        for option, expected in (("--quick", machine["unlinked"]), ("--full", machine["unlinked_full"])):
            result = run([with_drives, build] + mappings + ["--", run_sh, build, orvscan, option])
            listed, summary = listed_lines(result.stdout)
            on_d = sorted((p for p in listed if p.upper().startswith("D:\\")), key=str.upper)
            check(result.returncode == 0, f"sample {option}: exit status {result.returncode}: {result.stderr[-500:]}")
            check(
                [p.upper() for p in on_d] == sorted(p.upper() for p in expected),
                f"sample {option}: D: lists {on_d}, designed: {expected}",
            )
            check(summary_count(summary) == len(listed), f"sample {option}: summary {summary!r} for {len(listed)}")
    finally:
        for name in machine["shared_dlls"]:
            run([run_sh, build, "reg", "delete", shared_key, "/v", name, "/f"])


def scan_drive_c_alone():
    result = run([run_sh, build, orvscan, "--quick"])
    listed, summary = listed_lines(result.stdout)
    check(result.returncode == 0, f"C: alone: exit status {result.returncode}: {result.stderr[-500:]}")
    check(len(listed) > 0, "C: alone: nothing listed")
    others = [p for p in listed if not p.upper().startswith("C:\\")]
    check(not others, f"C: alone: listed beyond C: {others[:5]}")
    check(summary_count(summary) == len(listed), f"C: alone: summary {summary!r} for {len(listed)} lines")
    check("outside .idata" not in result.stderr, "C: alone: a note on import tables outside .idata")


def scan_import_tables_outside_idata():
    note = ("3 examined files keep their import tables outside .idata; their links were not read. "
            "Use --import-directories or --full.")
    mapping = "N=" + os.path.join(build, "machines", "outcomes", "n")
    for options, listed_on_n, noted in ((["--section-imports"], 3, True), (["--import-directories"], 0, False),
                                        (["--full", "--section-imports"], 0, False)):
        result = run([with_drives, build, mapping, "--", run_sh, build, orvscan] + options)
        listed, _ = listed_lines(result.stdout)
        on_n = [p for p in listed if p.upper().startswith("N:\\")]
        check(len(on_n) == listed_on_n, f"N: {options}: lists {on_n}")
        check((note in result.stderr) == noted, f"N: {options}: note {noted} expected: {result.stderr[-400:]!r}")


def interrupt_scanner(session):
    """Sends SIGINT to the Windows process of orvscan in the given session, not to the
    scripts that started it: the drive mapper must outlive it to clean up."""
    found = False
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.getsid(int(pid)) != session:
                continue
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                program = f.read().split(b"\0")[0].lower()
        except OSError:
            continue
        if program.endswith(b"orvscan.exe"):
            os.kill(int(pid), signal.SIGINT)
            found = True
    return found


def interrupt_drive_phase():
    many = os.path.join(build, "machines", "walk", "m")
    process = subprocess.Popen(
        [with_drives, build, f"M={many}", "--", run_sh, build, orvscan, "--full"],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        text=True,
        encoding="latin-1",
        start_new_session=True,
    )
    # The first progress line comes with the drive phase's status line.
    first = process.stderr.readline()
    check("Scanning for .DLLs with links from executable files" in first, f"interrupt: first progress {first!r}")
    # The line comes just before the scanning flag is set; the walk takes seconds.
    time.sleep(0.3)
    interrupted = interrupt_scanner(process.pid)
    check(interrupted, "interrupt: no orvscan process to interrupt")
    try:
        stdout, stderr = process.communicate(timeout=120)
    except subprocess.TimeoutExpired:
        process.kill()
        stdout, stderr = process.communicate()
    check(process.returncode == 130, f"interrupt: exit status {process.returncode}")
    check(" Scanning interrupted." in stderr, f"interrupt: standard error {stderr[-300:]!r}")
    check("Cross checking" not in stderr, "interrupt: the cross-check ran")
    check(stdout.strip() == "", f"interrupt: standard output {stdout[:300]!r}")


def main():
    scan_sample()
    scan_drive_c_alone()
    scan_import_tables_outside_idata()
    interrupt_drive_phase()
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("whole scans: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
