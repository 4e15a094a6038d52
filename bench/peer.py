#!/usr/bin/python3
"""The benchmark's native peer: computes the quick scan's answer for a bench prefix
without Wine, with Debian's python3-pefile, by the rules of bench/scan_model.py.

    peer.py [--import-directories] PREFIX D_TREE [PROGRAM_DIR]

C: is the prefix's drive_c, D: the generated tree; PROGRAM_DIR is where the scanner runs
from (default "C:\\Program Files\\Orvenna"), the first folder of the module search path.
--import-directories reads the import and delay-load directories, as orvscan's option of
that name does; without it only the descriptors at the start of .idata count.
The prefix's PATH and shared-DLL register are read from its system.reg. Prints the long
Windows path of every DLL the scan lists, one a line, then a count on standard error."""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scan_model  # noqa: E402

ENVIRONMENT_KEY = "System\\CurrentControlSet\\Control\\Session Manager\\Environment"


def prefix_path_dirs(system_reg):
    """The folders of the prefix's PATH, with %SystemRoot% expanded as Wine sets it."""
    body = scan_model.registry_section(system_reg, ENVIRONMENT_KEY)
    found = re.search(r'^"PATH"=(?:str\(2\):)?"(.*)"$', body, re.M)
    if not found:
        return []
    value = found.group(1).replace("\\\\", "\\")
    value = re.sub("%SystemRoot%", "C:\\\\windows", value, flags=re.I)
    return [d for d in value.split(";") if d]


def main(argv):
    directories = "--import-directories" in argv
    argv = [a for a in argv if a != "--import-directories"]
    if len(argv) not in (3, 4):
        print("usage: peer.py [--import-directories] PREFIX D_TREE [PROGRAM_DIR]", file=sys.stderr)
        return 2
    prefix, tree = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    program = argv[3] if len(argv) == 4 else "C:\\Program Files\\Orvenna"
    system_reg = os.path.join(prefix, "system.reg")
    drives = scan_model.Drives({"C": os.path.join(prefix, "drive_c"), "D": tree})
    tail = scan_model.search_tail(drives, prefix_path_dirs(system_reg))
    scan = scan_model.QuickScan(drives, drives.to_unix(program), tail, directories)
    unlinked = scan.run(scan_model.shared_dll_names(system_reg))
    for path in sorted(drives.to_windows(p) for p in unlinked):
        print(path)
    print(f"{len(unlinked)} unlinked; {len(scan.judged['unjudged'])} files not judged", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
