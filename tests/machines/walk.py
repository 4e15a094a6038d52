"""Fixture machine of the directory walk's tests.

W: the order of the walk and the composition of paths: files at the root and at
   every depth, siblings on several levels, an empty directory.
F: the filter pass: one file for each default extension (and two that no entry
   selects) at the root and in a subdirectory.
H: hostile names and links: a link to its own parent, a closed directory, names the
   ANSI code page cannot carry (one it would carry by a best fit) or that hold a
   wildcard or characters Windows forbids, siblings of which one is removed during a
   walk, and programs whose long paths pass the longest the scan handles while their
   8.3 paths do not.
K: a directory whose parent a test moves away while it is walked.
L: a tree deeper than the longest path the scan handles.
M: a directory with thousands of subdirectories.
G: an other-format file of ".DLL" repeated a million times, and a DLL whose bytes
   hold it a quarter million times, used by a program; an other-format file and a
   program that are endless (links to /dev/zero).
N: names the host's file system allows and Windows does not expect: two DLLs whose
   names differ only in case, a DLL whose name holds a colon, two folders whose long names hash to one 8.3 name, an
   import named like a DLL's file name (a link without a drive), and a DLL in use
   named literally like an orphan's 8.3 name.
"""

FILTER_FILES = [
    {"exe": "F.EXE", "imports": ["F", "KERNEL32"]},
    {"dll": "F.DLL", "imports": ["KERNEL32"]},
    {"exe": "F.CNV"},
    {"exe": "F.FLT"},
    {"exe": "F.EQU"},
    {"exe": "F.VBX"},
    {"dll": "F.OCX", "imports": ["F"]},
    {"exe": "F.DRV"},
    {"file": "F.GRP", "text": "F.DLL\r\n"},
    {"file": "F.INI", "text": "[F]\r\nlib=F.DLL\r\n"},
    {"exe": "F.CPL"},
    {"exe": "F.3GR"},
    {"exe": "F.SCR"},
    {"file": "F.TXT", "text": "F.DLL\r\n"},
    {"exe": "F.BAT"},
]


def in_directory(directory, entries):
    placed = []
    for entry in entries:
        entry = dict(entry)
        for kind in ("exe", "dll", "file", "ne", "dir"):
            if kind in entry:
                entry[kind] = directory + "\\" + entry[kind]
        placed.append(entry)
    return placed


# Path lengths: "L:\" and eight-character names, so the directory at depth k is 9k + 2
# characters long. Depth 27 (245) holds a file whose path is 259 characters, the
# longest the scan takes; depth 28 (254) is still entered, but its file (260) is not
# examined; depth 29 (263) is not entered.
DEEP_LEVELS = 32
deep = []
path = ""
for level in range(1, DEEP_LEVELS + 1):
    path += ("\\" if path else "") + f"DEEP{level:04d}"
    deep.append({"exe": path + "\\L.EXE"})
    if level == 27:
        deep.append({"exe": path + "\\L27LONGER.EXE"})

MANY_SUBDIRECTORIES = 3000

# Eight folders of 40-character names: 11 + 8 * 41 characters long, 8.3 paths of 83.
LONG_FOLDERS = "LONGPATH\\" + "\\".join(f"A folder name forty characters long, {n:03d}" for n in range(8))

MACHINE = {
    "drives": {
        "W": [
            {"exe": "ROOT.EXE"},
            {"exe": "Z.EXE"},
            {"dll": "ROOT.DLL"},
            {"exe": r"A\A.EXE"},
            {"dll": r"A\A.DLL"},
            {"exe": r"A\B\B.EXE"},
            {"exe": r"A\B\C\C.EXE"},
            {"exe": r"A\D\D.EXE"},
            {"dir": r"A\E"},
            {"exe": r"A\F\F.EXE"},
            {"exe": r"G\G.EXE"},
            {"dir": r"H"},
            {"exe": r"I\I1\I2\I.EXE"},
        ],
        "F": FILTER_FILES + in_directory("SUB", FILTER_FILES),
        "H": [
            {"exe": "A.EXE"},
            {"exe": "Z.EXE"},
            {"exe": r"LOOPS\LOOPS.EXE"},
            {"exe": r"LOOPS\SUB\SUB.EXE"},
            {"link": r"LOOPS\SUB\LOOP", "to": ".."},
            {"link": r"LOOPS\SELF", "to": "."},
            {"exe": r"SHUT\SHUT.EXE"},
            {"dir": "SHUT", "mode": 0o000},
            {"exe": r"STAR*\STAR.EXE"},
            {"dll": r"STAR*\W*LD.DLL"},
            {"exe": "INTL\\\u65e5\u672c\u8a9e\\CJK.EXE", "imports": ["CJKUSE"]},
            {"dll": "INTL\\\u65e5\u672c\u8a9e\\CJKUSE.DLL"},
            {"dll": "INTL\\\u0416\u0443\u043a\\ZHUK.DLL"},
            {"exe": "INTL\\\u03a9mega\\OMEGA.EXE", "imports": ["OMEGAUSE"]},
            {"dll": "INTL\\\u03a9mega\\OMEGAUSE.DLL"},
            {"exe": "INTL\\\u03a9mega2.exe", "imports": ["OMEGA2US"]},
            {"dll": "INTL\\OMEGA2US.DLL"},
            {"dll": "INTL\\co:lon.dll"},
            {"exe": 'INTL\\Odd "<|\t names\\ODD.EXE', "imports": ["ODDUSE"]},
            {"dll": 'INTL\\Odd "<|\t names\\ODDUSE.DLL'},
            {"exe": LONG_FOLDERS + "\\LONGAPP.EXE", "imports": ["LONGUSE"]},
            {"dll": LONG_FOLDERS + "\\LONGUSE.DLL"},
            {"exe": r"VANISH\V1\V1.EXE"},
            {"dir": r"VANISH\V2"},
            {"exe": r"VANISH\V3\V3.EXE"},
            {"exe": r"VANISH\V4\V4.EXE"},
        ],
        "K": [{"exe": r"ERR\GONE\GONE.EXE", "imports": ["KERNEL32"]}, {"exe": r"NEXT\NEXT.EXE"}],
        "L": deep,
        "M": [{"exe": r"MANY\FIRST\FIRST.EXE"}]
        + [{"dir": f"MANY\\S{n:05d}"} for n in range(MANY_SUBDIRECTORIES)]
        + [{"exe": r"MANY\ZLAST\ZLAST.EXE"}, {"exe": "AFTER\\AFTER.EXE"}],
        "G": [
            {"file": "DOTDLL.INI", "text": ".DLL" * 1000000},
            {"dll": "DOTDLL.DLL", "strings": [".DLL" * 250000]},
            {"exe": "USEDOT.EXE", "imports": ["DOTDLL"]},
            {"file": "NAMES.INI", "text": "[x]\r\nlib=GNAME.DLL\r\n"},
            {"dll": "GNAME.DLL"},
            {"link": "ZERO.INI", "to": "/dev/zero"},
            {"link": "ZERO.EXE", "to": "/dev/zero"},
        ],
        "N": [
            {"exe": r"TWINS\USE.EXE", "imports": ["FOO"]},
            {"dll": r"TWINS\FOO.DLL", "imports": ["BAR"]},
            {"dll": r"TWINS\foo.dll", "imports": ["FOOSIDE"]},
            {"dll": r"TWINS\BAR.DLL"},
            {"dll": r"TWINS\FOOSIDE.DLL"},
            # Reached through its 8.3 name only: Windows forbids the colon.
            {"dll": r"TWINS\at 10:30.dll"},
            # Both folders are ACME~01R in 8.3 form.
            {"exe": r"Acme Tools 1135\APP.EXE", "imports": ["CORE"]},
            {"dll": r"Acme Tools 1135\CORE.DLL"},
            {"dll": r"Acme Tools 1895\CORE.DLL"},
            # The import XX.DLL.DLL is filed as XX.DLL, read from the current directory.
            {"exe": r"XXUSE\XXUSE.EXE", "imports": ["XX.DLL.DLL"]},
            {"dll": "XX.DLL", "imports": ["XXDEP"]},
            {"dll": "XXDEP.DLL"},
            # An orphan whose 8.3 name is the literal name of a DLL in use beside it.
            {"exe": r"LITERAL\USELIT.EXE", "imports": ["SECO~QDO"]},
            {"dll": r"LITERAL\SECO~QDO.DLL"},
            {"dll": r"LITERAL\Second literal.dll"},
        ],
    },
}
