"""Fixture machine of the scan driver's tests.

O: every outcome of the cross-check and the shared-DLL pass: a chain of DLLs, two
   DLLs that import only each other, a DLL only a listed DLL uses, an application's
   own copy of a DLL and a copy of the same name elsewhere, DLLs the shared-DLL
   register names (one under a long name), a 16-bit DLL, a file named .DLL that is
   no executable.
N: a program linked by LLVM's linker, which keeps the import tables in .rdata: its
   DLL, the DLL that DLL imports, and a DLL it loads on first use (delay-load).
P: a second drive, for the order of the drive phase.
S: a small tree for stopping the scan at every pump step.
"""

MACHINE = {
    "drives": {
        "O": [
            {"exe": r"APP\APP.EXE", "imports": ["FOO", "CHAINA", "KERNEL32"]},
            {"dll": r"APP\FOO.DLL", "imports": ["KERNEL32"]},
            {"dll": r"APP\CHAINA.DLL", "imports": ["CHAINB"]},
            {"dll": r"APP\CHAINB.DLL", "imports": ["CHAINC", "USER32"]},
            {"dll": r"APP\CHAINC.DLL"},
            {"dll": r"LIB\FOO.DLL"},
            {"dll": r"PAIR\PING.DLL", "imports": ["PONG"]},
            {"dll": r"PAIR\PONG.DLL", "imports": ["PING"]},
            {"dll": r"ORPH\LONER.DLL", "imports": ["HELPER"]},
            {"dll": r"ORPH\HELPER.DLL"},
            {"dll": r"SHARED\SHR0.DLL"},
            {"dll": r"SHARED\SHR9.DLL"},
            {"dll": r"SHARED\SHRUSE.DLL", "imports": ["SHRDEP"]},
            {"dll": r"SHARED\SHRDEP.DLL"},
            {"dll": r"SHARED\Shared Library Of Long Name.dll"},
            {"ne": r"OLD\OLD16.DLL"},
            {"file": r"OLD\NOTPE.DLL", "text": "not an executable\r\n"},
        ],
        "N": [
            {"exe": r"VIEW\VIEWER.EXE", "imports": ["VWCORE", "KERNEL32"], "delay": ["VWLAZY"], "linker": "lld"},
            {"dll": r"VIEW\VWCORE.DLL", "imports": ["VWDEEP"], "linker": "lld"},
            {"dll": r"VIEW\VWDEEP.DLL", "imports": ["KERNEL32"], "linker": "lld"},
            {"dll": r"VIEW\VWLAZY.DLL"},
        ],
        "P": [
            {"exe": r"PAPP\PAPP.EXE", "imports": ["PUSED"]},
            {"dll": r"PAPP\PUSED.DLL"},
            {"dll": r"PAPP\PSPARE.DLL"},
        ],
        "S": [
            {"exe": r"APP\APP.EXE", "imports": ["X1", "KERNEL32"]},
            {"dll": r"APP\X1.DLL", "imports": ["X2"]},
            {"dll": r"APP\X2.DLL", "imports": ["X3"]},
            {"dll": r"APP\X3.DLL"},
            {"file": r"APP\APP.INI", "text": "[libs]\r\nlib=X3.DLL\r\n"},
            {"dll": r"LIB\Y.DLL"},
            {"exe": r"LIB\Y.EXE", "imports": ["Y"]},
            {"dll": r"LIB\SPARE.DLL"},
        ],
    },
}
