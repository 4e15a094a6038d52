"""The demo's sample machine, mapped as drive D: of the demo prefix.

An editor with its own DLLs, one of which starts a chain of three more; a plug-in
that only the editor's INI file names; two DLLs that import each other and nothing
else; a DLL registered in the shared-DLL register; a 16-bit DLL; a stale copy of one
of the editor's DLLs; a few orphans, one of them used by another orphan.

"unlinked" is what a scan lists on D: with Quick Scan on (the stored default): the
plug-in counts as unlinked, since only a full scan reads INI files.
"unlinked_full" is what a full scan (Quick Scan off) lists on D:.
"""

MACHINE = {
    "drives": {
        "D": [
            {"exe": r"APPS\EDITOR\EDITOR.EXE", "imports": ["EDCORE", "EDSPELL", "KERNEL32", "USER32"]},
            {"dll": r"APPS\EDITOR\EDCORE.DLL", "imports": ["GFXA", "KERNEL32"]},
            {"dll": r"APPS\EDITOR\EDSPELL.DLL", "imports": ["KERNEL32"]},
            {"dll": r"APPS\EDITOR\GFXA.DLL", "imports": ["GFXB"]},
            {"dll": r"APPS\EDITOR\GFXB.DLL", "imports": ["GFXC"]},
            {"dll": r"APPS\EDITOR\GFXC.DLL", "imports": ["GDI32"]},
            {"dll": r"APPS\EDITOR\PLUGIN.DLL", "imports": ["EDCORE"]},
            {"file": r"APPS\EDITOR\EDITOR.INI",
             "text": "[Editor]\r\nWordWrap=1\r\n\r\n[Plugins]\r\nSpelling=PLUGIN.DLL\r\n"},
            {"dll": r"BACKUP\EDCORE.DLL", "imports": ["GFXA"]},
            {"dll": r"LIBS\TWINA.DLL", "imports": ["TWINB"]},
            {"dll": r"LIBS\TWINB.DLL", "imports": ["TWINA"]},
            {"dll": r"SHARED\COMMON.DLL", "imports": ["KERNEL32"]},
            {"ne": r"OLD\WIN16.DLL"},
            {"dll": r"JUNK\OLDTOOL.DLL"},
            {"dll": r"JUNK\UNUSED.DLL", "imports": ["LEFTOVER"]},
            {"dll": r"JUNK\LEFTOVER.DLL"},
            {"file": r"JUNK\README.TXT", "text": "Nothing here names LEFTOVER.DLL for the scan.\r\n"},
        ],
    },
    "shared_dlls": {r"D:\SHARED\COMMON.DLL": 1},
    "unlinked": [
        r"D:\APPS\EDITOR\PLUGIN.DLL",
        r"D:\BACKUP\EDCORE.DLL",
        r"D:\JUNK\LEFTOVER.DLL",
        r"D:\JUNK\OLDTOOL.DLL",
        r"D:\JUNK\UNUSED.DLL",
        r"D:\LIBS\TWINA.DLL",
        r"D:\LIBS\TWINB.DLL",
    ],
    "unlinked_full": [
        r"D:\BACKUP\EDCORE.DLL",
        r"D:\JUNK\LEFTOVER.DLL",
        r"D:\JUNK\OLDTOOL.DLL",
        r"D:\JUNK\UNUSED.DLL",
        r"D:\LIBS\TWINA.DLL",
        r"D:\LIBS\TWINB.DLL",
    ],
}
