#!/usr/bin/env python3
"""Checks an archive the way other tools will read it: `unzip -t` and Python's zipfile
must both accept it, and it must hold exactly the names listed in ARCHIVE.expected
(one a line), each with the bytes of ROOT/name.

Usage: zip_check.py ARCHIVE ROOT [--remove DIR]
       zip_check.py ARCHIVE --count N  (only that it holds N entries)  (--remove: delete the archive, its
list and DIR afterwards, for what a test left behind)"""
import os
import shutil
import subprocess
import sys
import zipfile


def check(archive, root):
    tested = subprocess.run(["unzip", "-tqq", archive], capture_output=True, text=True)
    if tested.returncode != 0:
        return f"unzip -t: {tested.stdout}{tested.stderr}"
    if root == "--count":
        with zipfile.ZipFile(archive) as z:
            count = len(z.namelist())
        return None if count == int(sys.argv[3]) else f"{count} entries"
    with open(archive + ".expected", encoding="utf-8") as listed:
        expected = sorted(line.rstrip("\n") for line in listed if line.strip())
    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        if bad:
            return f"zipfile: bad CRC in {bad}"
        names = sorted(z.namelist())
        if names != expected:
            return f"names {names[:5]}... differ from {expected[:5]}... ({len(names)} vs {len(expected)})"
        for name in names:
            with open(os.path.join(root, name), "rb") as source, z.open(name) as stored:
                while True:
                    want, got = source.read(1 << 20), stored.read(1 << 20)
                    if want != got:
                        return f"{name}: bytes differ"
                    if not want:
                        break
    return None


def main():
    archive, root = sys.argv[1], sys.argv[2]
    if shutil.which("unzip") is None:
        print("SKIPPED: unzip is not installed")
        return 0
    if not os.path.exists(archive):
        print(f"{archive} was not written")
        return 1
    problem = check(archive, root)
    if len(sys.argv) == 5 and sys.argv[3] == "--remove":
        os.remove(archive)
        os.remove(archive + ".expected")
        shutil.rmtree(sys.argv[4], ignore_errors=True)
    if problem:
        print(problem)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
