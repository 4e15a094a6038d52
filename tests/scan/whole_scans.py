#!/usr/bin/python3
"""Whole scans of the test prefix by the console scanner, orvscan.exe:

- the sample machine of the demo mapped as D:, with its shared DLL registered:
  D: lists exactly what the machine is designed to leave unlinked, with Quick Scan
  on ("unlinked") and off ("unlinked_full");
- no fixed drive but C: (Wine's own installation): the scan finishes, lists only
  files of C:, and the summary line counts the lines listed; with a stored filter
  list damaged (a count without values) it lists the same, and says so once;
- on the sample machine, `orvscan why` gives each kind of verdict, and `--format
  json` and `--format tsv` give every listed DLL, a path beyond ASCII included;
- the scan driver's N: (a program whose import tables LLVM's linker put in .rdata):
  read only in .idata, its DLLs are listed and standard error says how many files
  kept their tables elsewhere; read through the import directories, none is;
- Ctrl+C (Wine turns SIGINT into it) during the drive phase, in either reading: " Scanning
  interrupted." on standard error, no list, exit status 130. A scan of C: alone
  ends within a second, so the scan interrupted is a full one with the walk
  machine's M: (3,000 directories) mapped as well, which takes a few.
- Ctrl+C while the list is written to --output: the partial file goes, exit status
  130.

Usage: whole_scans.py BUILD_DIR"""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import pefile

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


# What `orvscan why` says on the sample machine: target, then the lines under its header.
WHY_QUICK = {
    r"D:\APPS\EDITOR\GFXC.DLL": [
        r"kept: D:\APPS\EDITOR\EDITOR.EXE -> D:\APPS\EDITOR\EDCORE.DLL -> D:\APPS\EDITOR\GFXA.DLL"
        r" -> D:\APPS\EDITOR\GFXB.DLL -> D:\APPS\EDITOR\GFXC.DLL"
    ],
    r"D:\APPS\EDITOR\EDCORE.DLL": [r"kept: D:\APPS\EDITOR\EDITOR.EXE -> D:\APPS\EDITOR\EDCORE.DLL"],
    r"D:\SHARED\COMMON.DLL": [r'kept: the shared-DLL register names it, value "D:\SHARED\COMMON.DLL"'],
    r"D:\OLD\WIN16.DLL": ["not a candidate: not a 32-bit DLL: a 16-bit (NE) executable"],
    r"D:\APPS\EDITOR\EDITOR.INI": [
        "not a candidate: only *.DLL files are listed; filter entry .INI selects it as an other format"
    ],
    r"D:\NO\SUCH.DLL": ["not found"],
    r"D:\APPS\EDITOR\PLUGIN.DLL": ["listed: no examined file links to it"],
    r"D:\BACKUP\EDCORE.DLL": ["listed: no examined file links to it"],
    r"D:\JUNK\OLDTOOL.DLL": ["listed: no examined file links to it"],
    r"D:\JUNK\UNUSED.DLL": ["listed: no examined file links to it"],
    r"D:\JUNK\LEFTOVER.DLL": ["listed: linked only from listed DLLs:", r"  D:\JUNK\UNUSED.DLL"],
    r"D:\LIBS\TWINA.DLL": ["listed: linked only from listed DLLs:", r"  D:\LIBS\TWINB.DLL"],
    r"D:\LIBS\TWINB.DLL": ["listed: linked only from listed DLLs:", r"  D:\LIBS\TWINA.DLL"],
}
# A full scan: the INI file keeps the plug-in, and TWINB.DLL's bytes name TWINB.DLL itself.
WHY_FULL = {
    r"D:\APPS\EDITOR\PLUGIN.DLL": [r'kept: D:\APPS\EDITOR\EDITOR.INI names "PLUGIN.DLL" -> D:\APPS\EDITOR\PLUGIN.DLL'],
    r"D:\LIBS\TWINB.DLL": WHY_QUICK[r"D:\LIBS\TWINB.DLL"],
}


def why_answers(stdout):
    """Each header line of `orvscan why` with the indented lines under it."""
    answers, header = {}, None
    for line in stdout.replace("\r", "").splitlines():
        if line.startswith("  "):
            answers[header].append(line[2:])
        else:
            header = line
            answers[header] = []
    return answers


def explain_sample(mappings, machine, listed):
    """`why` in both scans (a bare name stands for both EDCORE.DLLs), then the records."""
    targets = [t for t in WHY_QUICK if t != r"D:\APPS\EDITOR\EDCORE.DLL" and t != r"D:\BACKUP\EDCORE.DLL"]
    result = run([with_drives, build] + mappings + ["--", run_sh, build, orvscan, "why", "--quick", "EDCORE.DLL"] + targets)
    check(result.returncode == 3, f"why: exit status {result.returncode} with a target not found")
    check(why_answers(result.stdout) == WHY_QUICK, f"why --quick answered:\n{result.stdout}")
    check(set(machine["unlinked"]) <= {t for t, a in WHY_QUICK.items() if a[0].startswith("listed:")}, "why: a listed DLL unexplained")
    result = run([with_drives, build] + mappings + ["--", run_sh, build, orvscan, "why", "--full", "plugin.dll", "TWINB.DLL"])
    check(result.returncode == 0, f"why --full: exit status {result.returncode}")
    check(why_answers(result.stdout) == WHY_FULL, f"why --full:\n{result.stdout}")

    # A name beyond ASCII comes through the ANSI code page into the JSON text.
    beyond = tempfile.mkdtemp(prefix="orv-ansi-")
    try:
        shutil.copy(os.path.join(machine["drives"]["D"], "JUNK", "OLDTOOL.DLL"), os.path.join(beyond, "Ünïcode.dll"))
        scans = {}
        for form in ("json", "tsv"):
            result = run([with_drives, build, f"U={beyond}"] + mappings + ["--", run_sh, build, orvscan, "--quick", "--format", form])
            check(result.returncode == 0, f"--format {form}: exit status {result.returncode}")
            scans[form] = result.stdout
    finally:
        shutil.rmtree(beyond)
    records = json.loads(scans["json"])
    by_path = {r["short_path"].upper(): r for r in records}
    check({p.upper() for p in listed} <= set(by_path), "json: a DLL of the plain list is missing")
    check([r["long_path"] for r in records if r["long_path"].startswith("U:")] == ["U:\\Ünïcode.dll"], "json: the long name beyond ASCII")
    leftover = by_path.get(r"D:\JUNK\LEFTOVER.DLL", {})
    check(leftover.get("linked_from") == [r"D:\JUNK\UNUSED.DLL"], f"json: LEFTOVER.DLL {leftover}")
    check(leftover.get("size") == os.path.getsize(os.path.join(machine["drives"]["D"], "JUNK", "LEFTOVER.DLL")), "json: size")
    # The file version is the version record's, as pefile reads it: Wine's DLLs carry one.
    versioned = [r for r in records if r["file_version"] and r["long_path"].upper().startswith("C:\\")][:1]
    check(versioned, "json: no listed DLL of C: has a file version")
    for record in versioned:
        unix = os.path.join(build, "wineprefix", "drive_c", *record["long_path"][3:].split("\\"))
        fixed = pefile.PE(unix).VS_FIXEDFILEINFO[0]
        ms, ls = fixed.FileVersionMS, fixed.FileVersionLS
        check(record["file_version"] == f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}", f"json: {record}")
    rows = [line.split("\t") for line in scans["tsv"].replace("\r", "").splitlines()]
    check(rows[0] == ["short_path", "long_path", "size", "file_version", "linked_from", "bits"], f"tsv: header {rows[0]}")
    # A 32-bit scan lists 32-bit DLLs only.
    check({r[5] for r in rows[1:]} == {"32"} and {r.get("bits") for r in records} == {32}, "tsv and json: bits")
    check(sorted(r[0] for r in rows[1:]) == sorted(r["short_path"] for r in records), "tsv and json list different DLLs")
    check([r"D:\JUNK\UNUSED.DLL"] == [r[4] for r in rows if r[0] == r"D:\JUNK\LEFTOVER.DLL"], "tsv: linked_from")


def scan_sample():
    with open(os.path.join(build, "machines", "sample", "machine.json")) as f:
        machine = json.load(f)
    mappings = [f"{letter}={folder}" for letter, folder in machine["drives"].items()]
    for name, count in machine["shared_dlls"].items():
        run([run_sh, build, "reg", "add", shared_key, "/v", name, "/t", "REG_DWORD", "/d", str(count), "/f"], check=True)
    try:
        listings = {}
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
            listings[option] = listed
        explain_sample(mappings, machine, listings["--quick"])
    finally:
        for name in machine["shared_dlls"]:
            run([run_sh, build, "reg", "delete", shared_key, "/v", name, "/f"])


def scan_drive_c_alone():
    result = run([run_sh, build, orvscan, "--quick"])
    scan_with_damaged_filter_list(result.stdout)
    listed, summary = listed_lines(result.stdout)
    check(result.returncode == 0, f"C: alone: exit status {result.returncode}: {result.stderr[-500:]}")
    check(len(listed) > 0, "C: alone: nothing listed")
    others = [p for p in listed if not p.upper().startswith("C:\\")]
    check(not others, f"C: alone: listed beyond C: {others[:5]}")
    check(summary_count(summary) == len(listed), f"C: alone: summary {summary!r} for {len(listed)} lines")
    check("outside .idata" not in result.stderr, "C: alone: a note on import tables outside .idata")


def scan_with_damaged_filter_list(default_stdout):
    """A stored Count without its Ext values: the defaults scan, and standard error says so once."""
    preferences = r"HKLM\Software\Tessaly Software Ltd\Orvenna\4.70\Preferences"
    run([run_sh, build, "reg", "add", preferences, "/v", "Count", "/t", "REG_BINARY", "/d", "03", "/f"], check=True)
    try:
        result = run([run_sh, build, orvscan, "--quick"])
    finally:
        run([run_sh, build, "reg", "delete", preferences, "/v", "Count", "/f"])
    check(result.stdout == default_stdout, "damaged filter list: not the defaults' list")
    check(result.stderr.count("stored filter list selects no program") == 1,
          f"damaged filter list: standard error {result.stderr[-400:]!r}")


def scan_import_tables_outside_idata():
    note = ("3 examined files keep their import tables outside .idata; those links were not read. "
            "Use --modern or --full.")
    mapping = "N=" + os.path.join(build, "machines", "outcomes", "n")
    for options, listed_on_n, noted in ((["--section-imports"], 3, True),
                                        (["--import-directories", "--drives", "n"], 0, False),
                                        (["--full", "--section-imports"], 0, False)):
        result = run([with_drives, build, mapping, "--", run_sh, build, orvscan] + options)
        listed, _ = listed_lines(result.stdout)
        on_n = [p for p in listed if p.upper().startswith("N:\\")]
        check(len(on_n) == listed_on_n, f"N: {options}: lists {on_n}")
        check("--drives" not in options or len(listed) == len(on_n), f"N: {options}: lists beyond N: {listed[:5]}")
        check((note in result.stderr) == noted, f"N: {options}: note {noted} expected: {result.stderr[-400:]!r}")
    # why names the files whose unread tables import the DLL rather than deny the link.
    result = run([with_drives, build, mapping, "--", run_sh, build, orvscan, "why", "--section-imports",
                  "--drives", "N", "VWCORE.DLL", "VWDEEP.DLL"])
    answer = result.stdout.replace("\r", "")
    for dll, linker in (("VWCORE", "VIEWER.EXE"), ("VWDEEP", "VWCORE.DLL")):
        check(f"no link to it was read; these files import {dll} from tables" in answer
              and f"\n    N:\\VIEW\\{linker}\n" in answer, f"N: why {dll}: {answer!r}")


def scanner_processes(session):
    """The Windows processes of orvscan in the given session, not the scripts that started
    it: the drive mapper must outlive it to clean up."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.getsid(int(pid)) != session:
                continue
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                program = f.read().split(b"\0")[0].lower()
        except OSError:
            continue
        if program.endswith(b"orvscan.exe"):
            found.append(int(pid))
    return found


def interrupt_scanner(session):
    """Sends SIGINT to the Windows process of orvscan in the given session."""
    found = scanner_processes(session)
    for pid in found:
        os.kill(pid, signal.SIGINT)
    return bool(found)


def interrupt_drive_phase(*reading):
    """reading: the modern one also reads the registry on a thread beside the walk, which
    the stop must end too."""
    many = os.path.join(build, "machines", "walk", "m")
    process = subprocess.Popen(
        [with_drives, build, f"M={many}", "--", run_sh, build, orvscan, "--full", *reading],
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
    # A line of its own, without the status bar's leading blank.
    check("Scanning interrupted." in [line.rstrip("\r") for line in stderr.split("\n")],
          f"interrupt: standard error {stderr[-300:]!r}")
    check("Cross checking" not in stderr, "interrupt: the cross-check ran")
    check(stdout.strip() == "", f"interrupt: standard output {stdout[:300]!r}")


def interrupt_list_writing():
    """The list file holds a word before the scan: orvscan leaves a file it finds in place
    until it writes the list, so the moment the file changes is the write's start. The
    process is held there while Ctrl+C reaches it: the lines are long, so the write takes a
    while, but less than a stop takes to arrive."""
    listed = os.path.join(build, "stopped-list.txt")
    before = "before\n"
    with open(listed, "w") as f:
        f.write(before)
    process = subprocess.Popen([run_sh, build, orvscan, "--quick", "--prefix", "x" * 16000, "--suffix",
                                "y" * 16000, "--output", "stopped-list.txt"], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, encoding="latin-1", start_new_session=True)
    deadline = time.monotonic() + 120
    while os.path.getsize(listed) == len(before) and process.poll() is None and time.monotonic() < deadline:
        time.sleep(0.0005)
    held = scanner_processes(process.pid)
    for pid in held:
        os.kill(pid, signal.SIGSTOP)
    check(held and interrupt_scanner(process.pid), "interrupted write: no orvscan process to interrupt")
    for pid in held:
        os.kill(pid, signal.SIGCONT)
    stdout, stderr = process.communicate(timeout=120)
    check("Done." in stderr, f"interrupted write: the scan did not finish: {stderr[-300:]!r}")
    check(process.returncode == 130, f"interrupted write: exit status {process.returncode}: {stderr[-300:]!r}")
    check(not os.path.lexists(listed), "interrupted write: the partial list was left behind")
    check("Scanning interrupted." in stderr, f"interrupted write: standard error {stderr[-300:]!r}")
    check(stdout.strip() == "", f"interrupted write: standard output {stdout[:300]!r}")
    if os.path.lexists(listed):
        os.remove(listed)


def main():
    scan_sample()
    scan_drive_c_alone()
    scan_import_tables_outside_idata()
    interrupt_drive_phase()
    interrupt_drive_phase("--modern")
    interrupt_list_writing()
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("whole scans: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
