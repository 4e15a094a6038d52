#!/usr/bin/env python3
"""Backup's own archive writer against `zip -6` over the same files on the same machine.

Copies real Windows DLLs (Wine's own) into the build's test prefix until they make
--mb megabytes, archives them once with `zip -6` natively and once with the writer
under Wine (bench/zip_files.cpp, timed inside the program, so Wine's start-up is not
counted), checks the archive with `unzip -t`, and prints one row. Exit status 1 when
the writer runs at less than half the speed of zip -6.

Usage: backup_speed.py BUILD [--mb 200] [--max-kb N]"""
import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DLLS = "/usr/lib/i386-linux-gnu/wine/i386-windows"


def fill(folder, megabytes, max_kb):
    """Copies of Wine's DLLs of at most max_kb, one subfolder a round, until they hold megabytes."""
    sources = sorted(os.path.join(DLLS, n) for n in os.listdir(DLLS)
                     if n.endswith(".dll") and os.path.getsize(os.path.join(DLLS, n)) <= max_kb << 10)
    total, files, round_ = 0, [], 0
    while total < megabytes << 20:
        target = os.path.join(folder, f"round{round_}")
        os.makedirs(target)
        for source in sources:
            if total >= megabytes << 20:
                break
            copy = os.path.join(target, os.path.basename(source))
            shutil.copyfile(source, copy)
            total += os.path.getsize(copy)
            files.append(copy)
        round_ += 1
    return files, total


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--mb", type=int, default=200)
    parser.add_argument("--max-kb", type=int, default=1 << 30,
                        help="only DLLs up to this size: many small files weigh the per-file work")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    subprocess.run([os.path.join(ROOT, "tests/wine/make-prefix.sh"), os.path.join(build, "wineprefix"), build],
                   check=True)
    drive_c = os.path.join(build, "wineprefix", "drive_c")
    work = os.path.join(drive_c, "orvbackupbench")
    shutil.rmtree(work, ignore_errors=True)
    files, total = fill(os.path.join(work, "files"), args.mb, args.max_kb)

    start = time.monotonic()
    subprocess.run(["zip", "-6", "-q", "-r", os.path.join(work, "zip.zip"), "files"], cwd=work, check=True)
    zip_seconds = time.monotonic() - start

    with open(os.path.join(work, "list.txt"), "w") as listing:
        for path in files:
            listing.write("C:\\" + os.path.relpath(path, drive_c).replace("/", "\\") + "\n")
    run = subprocess.run([os.path.join(ROOT, "tests/wine/run.sh"), build, "B:\\bin\\zip_files.exe",
                          "C:\\orvbackupbench\\orv.zip", "C:\\orvbackupbench\\list.txt"],
                         capture_output=True, text=True)
    if run.returncode != 0:
        print(f"zip_files failed: {run.stdout}{run.stderr}")
        return 1
    added, skipped, milliseconds = (float(x) for x in run.stdout.split())
    ours = milliseconds / 1000
    tested = subprocess.run(["unzip", "-tqq", os.path.join(work, "orv.zip")], capture_output=True, text=True)
    sizes = (os.path.getsize(os.path.join(work, "zip.zip")), os.path.getsize(os.path.join(work, "orv.zip")))
    shutil.rmtree(work, ignore_errors=True)
    if tested.returncode != 0 or added != len(files) or skipped:
        print(f"the archive is wrong: {tested.stdout}{tested.stderr} added {added:.0f} skipped {skipped:.0f}")
        return 1

    speed = lambda seconds: total / (1 << 20) / seconds
    print("| files | MB | zip -6 s (MB/s) | Orvenna s (MB/s) | speed ratio | archive zip / Orvenna |")
    print("|---|---|---|---|---|---|")
    print(f"| {len(files)} | {total / (1 << 20):.0f} | {zip_seconds:.2f} ({speed(zip_seconds):.1f}) | "
          f"{ours:.2f} ({speed(ours):.1f}) | {zip_seconds / ours:.2f} | {sizes[0]:,} / {sizes[1]:,} |")
    return 0 if zip_seconds / ours >= 0.5 else 1


if __name__ == "__main__":
    sys.exit(main())
