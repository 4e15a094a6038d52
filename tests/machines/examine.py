"""Fixture machine of the file examination's tests.

E: module resolution (the examined file's directory before the system directory, a
   module that exists only as .EXE, one that exists nowhere, a module beside a file
   deep in a long path), references in INI and GRP files (with a drive, with a
   relative directory, bare), module names in an executable's bytes, a 16-bit DLL,
   a file named .DLL that is no executable.
T: three INI files, each naming its own DLL, for Quick Scan changed during a walk.
"""

# A directory path of more than 127 characters: "E:\LONGPATH" and fourteen levels.
LONG_DIRECTORY = "LONGPATH\\" + "\\".join(f"LEVEL{n:03d}" for n in range(1, 15))

MACHINE = {
    "drives": {
        "E": [
            # VERSION is also a system DLL: the application's own copy must win.
            {"exe": r"APP\APP.EXE", "imports": ["VERSION", "LOCAL", "ONLYEXE", "NOWHERE", "KERNEL32"]},
            {"dll": r"APP\VERSION.DLL"},
            {"dll": r"APP\LOCAL.DLL"},
            {"exe": r"APP\ONLYEXE.EXE"},
            {"exe": r"OTHER\OTHER.EXE", "imports": ["VERSION"]},
            {"exe": LONG_DIRECTORY + r"\DEEP.EXE", "imports": ["DEEPMOD", "KERNEL32"]},
            {"dll": LONG_DIRECTORY + r"\DEEPMOD.DLL", "imports": ["USER32"]},
            {"file": r"INI\REFS.INI",
             "text": "[drivers]\r\n"
                     "gone=q:\\gone\\missing.dll\r\n"
                     "here=E:\\LIBS\\DRIVEREF.DLL\r\n"
                     "rel=SUBDIR\\RELMOD.DLL\r\n"
                     "bare=BAREMOD.DLL\r\n"},
            {"file": r"INI\PROG.GRP", "bytes": b"PMCC\x00\x01\x02GRPREF.DLL\x00\x10\x20"},
            {"dll": r"INI\RELMOD.DLL"},
            {"dll": r"INI\SUBDIR\RELMOD.DLL"},
            {"dll": r"INI\BAREMOD.DLL"},
            {"dll": r"INI\GRPREF.DLL"},
            {"dll": r"LIBS\DRIVEREF.DLL"},
            {"exe": r"DYN\DYN.EXE", "imports": ["KERNEL32"], "strings": ["DYNLOAD.DLL"]},
            {"dll": r"DYN\DYNLOAD.DLL"},
            {"dll": r"DYN\DYNUSER.DLL", "strings": ["DYNDEP.DLL"]},
            {"dll": r"DYN\DYNDEP.DLL"},
            # NEONLY.DLL is no executable, so that nothing but these two can name it
            # (every fixture DLL names itself in its export directory).
            {"ne": r"OLD\OLD16.DLL", "strings": ["NEONLY.DLL"]},
            {"file": r"OLD\NOTPE.DLL", "text": "MZ, and nothing more: NEONLY.DLL\r\n"},
            {"file": r"OLD\NEONLY.DLL", "text": "not an executable\r\n"},
        ],
        "T": [
            {"file": "A.INI", "text": "[libs]\r\nlib=TA.DLL\r\n"},
            {"file": "B.INI", "text": "[libs]\r\nlib=TB.DLL\r\n"},
            {"file": "C.INI", "text": "[libs]\r\nlib=TC.DLL\r\n"},
            {"dll": "TA.DLL"},
            {"dll": "TB.DLL"},
            {"dll": "TC.DLL"},
        ],
    },
}
