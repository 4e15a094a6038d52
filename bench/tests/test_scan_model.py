"""The shared model of the quick scan judges small hand-made machines as the scan's rules
say: chains are followed, cycles nothing else reaches stay listed, a module resolves from
the examining file's folder before the system folders, the register removes what it names."""

import os
import random
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import make_machine  # noqa: E402
import peer  # noqa: E402
import scan_model  # noqa: E402


class ModelCase(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.addCleanup(self.temp.cleanup)
        self.rng = random.Random(1)
        self.filler = make_machine.Filler(self.rng)
        self.roots = {"C": os.path.join(self.temp.name, "c"), "D": os.path.join(self.temp.name, "d")}
        self.write_pe("C:\\windows\\system32\\KERNEL32.dll", [], True)
        os.makedirs(self.unix("C:\\Program Files\\Orvenna"))

    def unix(self, path):
        return scan_model.Drives(self.roots).to_unix(path)

    def write_pe(self, path, imports, is_dll):
        image, _ = make_machine.pe32_image(["KERNEL32.dll"] + imports, is_dll, self.rng, self.filler)
        os.makedirs(os.path.dirname(self.unix(path)), exist_ok=True)
        with open(self.unix(path), "wb") as f:
            f.write(image)

    def listed(self, shared=()):
        drives = scan_model.Drives(self.roots)
        scan = scan_model.QuickScan(drives, self.unix("C:\\Program Files\\Orvenna"),
                                    scan_model.search_tail(drives, []))
        got = {drives.to_windows(p).upper() for p in scan.run(list(shared))}
        return {p for p in got if p.startswith("D:")}


class QuickScanModel(ModelCase):
    def test_a_chain_from_a_program_is_linked_throughout(self):
        self.write_pe("D:\\APP\\app.exe", ["A.DLL"], False)
        self.write_pe("D:\\APP\\A.DLL", ["B.DLL"], True)
        self.write_pe("D:\\APP\\B.DLL", ["C.DLL"], True)
        self.write_pe("D:\\APP\\C.DLL", [], True)
        self.assertEqual(set(), self.listed())

    def test_dlls_only_each_other_or_a_listed_dll_reach_are_listed(self):
        self.write_pe("D:\\LIBS\\TWINA.DLL", ["TWINB.DLL"], True)
        self.write_pe("D:\\LIBS\\TWINB.DLL", ["TWINA.DLL"], True)
        self.write_pe("D:\\LIBS\\ORPHAN.DLL", ["LEAF.DLL"], True)
        self.write_pe("D:\\LIBS\\LEAF.DLL", [], True)
        self.assertEqual({"D:\\LIBS\\TWINA.DLL", "D:\\LIBS\\TWINB.DLL", "D:\\LIBS\\ORPHAN.DLL", "D:\\LIBS\\LEAF.DLL"},
                         self.listed())

    def test_the_programs_own_folder_wins_over_another_copy(self):
        self.write_pe("D:\\APP\\app.exe", ["FOO.DLL"], False)
        self.write_pe("D:\\APP\\FOO.DLL", [], True)
        self.write_pe("D:\\OTHER\\FOO.DLL", [], True)
        self.assertEqual({"D:\\OTHER\\FOO.DLL"}, self.listed())

    def test_names_with_blanks_resolve_like_any_other(self):
        # pefile calls such a name invalid; the scan reads it as it stands.
        self.write_pe("D:\\Program Files\\Tool\\Tool Launcher.exe", ["Tool Core Runtime.dll"], False)
        self.write_pe("D:\\Program Files\\Tool\\Tool Core Runtime.dll", [], True)
        self.assertEqual(set(), self.listed())

    def test_a_module_found_only_with_another_extension_links_nothing(self):
        self.write_pe("D:\\APP\\app.exe", ["PRINTER.DRV"], False)
        self.write_pe("D:\\APP\\PRINTER.DRV", [], True)
        self.write_pe("D:\\APP\\PRINTER2.DLL", [], True)
        self.assertEqual({"D:\\APP\\PRINTER2.DLL"}, self.listed())

    def test_the_register_removes_its_dlls_whatever_their_case(self):
        self.write_pe("D:\\JUNK\\Kept.dll", [], True)
        self.write_pe("D:\\JUNK\\Gone.dll", [], True)
        self.assertEqual({"D:\\JUNK\\KEPT.DLL"}, self.listed(["d:\\junk\\GONE.DLL", "E:\\unmapped.dll"]))

    def test_files_the_reader_refuses_are_never_listed(self):
        for name, image in [("SIXTEEN.DLL", make_machine.ne_image()), ("WIDE64.DLL", make_machine.pe32plus_image()),
                            ("EMPTY.DLL", b"")]:
            os.makedirs(self.unix("D:\\OLD"), exist_ok=True)
            with open(self.unix("D:\\OLD\\" + name), "wb") as f:
                f.write(image)
        self.assertEqual(set(), self.listed())


class PlatformMatching(unittest.TestCase):
    def test_a_long_name_matches_by_its_short_extension_too(self):
        cases = [("foo.dll", ".DLL", True), ("FOO.DLL", ".DLL", True), ("report.dllx", ".DLL", True),
                 ("a b.dll", ".DLL", True), ("x.dll.mui", ".DLL", False), ("short.dl", ".DLL", False),
                 ("readme.txt", ".DLL", False), ("page.html", ".HTM", True)]
        for name, extension, expected in cases:
            with self.subTest(name=name):
                self.assertEqual(expected, scan_model.matches(name, extension))


class PrefixRegistry(unittest.TestCase):
    def test_path_and_shared_dlls_come_from_system_reg(self):
        with tempfile.TemporaryDirectory() as temp:
            reg = os.path.join(temp, "system.reg")
            with open(reg, "w", encoding="latin-1") as f:
                f.write("WINE REGISTRY Version 2\n\n"
                        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\SharedDLLs] 1\n#time=1\n"
                        '"D:\\\\BACKUP\\\\old0004.dll"=dword:00000003\n"C:\\\\x.dll"=dword:00000001\n\n'
                        "[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1\n"
                        '"PATH"=str(2):"%SystemRoot%\\\\system32;%SystemRoot%;D:\\\\TOOLS"\n\n')
            self.assertEqual(["D:\\BACKUP\\old0004.dll", "C:\\x.dll"], scan_model.shared_dll_names(reg))
            self.assertEqual(["C:\\windows\\system32", "C:\\windows", "D:\\TOOLS"], peer.prefix_path_dirs(reg))

    def test_a_missing_key_gives_nothing(self):
        with tempfile.TemporaryDirectory() as temp:
            reg = os.path.join(temp, "system.reg")
            with open(reg, "w") as f:
                f.write("WINE REGISTRY Version 2\n\n")
            self.assertEqual([], scan_model.shared_dll_names(reg))
            self.assertEqual([], peer.prefix_path_dirs(reg))


if __name__ == "__main__":
    unittest.main()
