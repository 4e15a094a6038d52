"""The generated machine is what the benchmark claims it is: real PE32 files that an
independent reader (python3-pefile) parses, counts in machine.json that a walk of the tree
confirms, and the same machine for the same size every time."""

import hashlib
import json
import os
import sys
import tempfile
import unittest

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import make_machine  # noqa: E402
import scan_model  # noqa: E402

SIZE = 2000


def walk_files(tree):
    for root, _, files in os.walk(tree):
        for name in files:
            yield root, name


class GeneratedMachine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        cls.folder = os.path.join(cls.temp.name, "m")
        cls.description = make_machine.make_machine(SIZE, cls.folder)
        cls.tree = os.path.join(cls.folder, "tree")

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def test_every_executable_is_a_pe32_in_one_of_the_three_layouts(self):
        checked, layouts, forwarding = 0, set(), 0
        for root, name in walk_files(self.tree):
            if os.path.splitext(name)[1].upper() not in (".DLL", ".EXE", ".OCX", ".CPL", ".DRV", ".SCR", ".NODE"):
                continue
            if name.upper() in ("SIXTEEN.DLL", "WIDE64.DLL"):
                continue
            path = os.path.join(root, name)
            pe = pefile.PE(path)
            with self.subTest(file=name):
                self.assertEqual(0x10B, pe.OPTIONAL_HEADER.Magic)
                self.assertEqual([], [w for w in pe.get_warnings() if "0x00 makes up" not in w])
                idata = [s for s in pe.sections if s.Name.rstrip(b"\0") == b".idata"]
                imports = [e.dll.decode("latin-1") for e in pe.DIRECTORY_ENTRY_IMPORT]
                delayed = [e.dll.decode("latin-1") for e in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
                self.assertIn("KERNEL32.dll", imports)
                forwarded = scan_model.forwarded_modules(pe)
                forwarding += bool(forwarded)
                self.assertEqual(len(imports + delayed + forwarded),
                                 len(scan_model.imports_of(path, {"unjudged": []}, True)))
                if idata:
                    self.assertEqual(idata[0].VirtualAddress, pe.OPTIONAL_HEADER.DATA_DIRECTORY[1].VirtualAddress)
                    self.assertEqual(len(imports), len(scan_model.imports_of(path, {"unjudged": []})))
                layouts.add("rdata" if not idata else "delay" if delayed else "idata")
            checked += 1
        self.assertGreater(checked, SIZE // 2)
        self.assertEqual({"idata", "rdata", "delay"}, layouts)
        self.assertGreater(forwarding, 0)
        self.assertEqual(checked, sum(self.description["layouts"].values()))

    def test_the_description_counts_what_the_tree_holds(self):
        files = selected = selected_bytes = quick_files = quick_bytes = 0
        for root, name in walk_files(self.tree):
            path = os.path.join(root, name)
            size = os.path.getsize(path)
            files += 1
            kind = make_machine.FILTERS.get(os.path.splitext(name)[1].upper())
            if kind is None:
                continue
            selected += 1
            selected_bytes += size
            if kind == 1:
                quick_files += 1
                quick_bytes += min(4096, size) + self.idata_raw_size(path)
        dirs = sum(len(d) for _, d, _ in os.walk(self.tree))
        got = self.description
        self.assertEqual((files, dirs, selected, selected_bytes, quick_files, quick_bytes),
                         (got["files"], got["dirs"], got["selected_files"], got["selected_bytes"],
                          got["quick_files"], got["quick_bytes"]))
        self.assertGreaterEqual(files, SIZE)
        with open(os.path.join(self.folder, "machine.json")) as f:
            self.assertEqual(got["files"], json.load(f)["files"])

    @staticmethod
    def idata_raw_size(path):
        """What the floor reads after its first 4 KB: the .idata bytes of a PE32 file."""
        try:
            pe = pefile.PE(path, fast_load=True)
        except pefile.PEFormatError:
            return 0
        if pe.OPTIONAL_HEADER.Magic != 0x10B:
            return 0
        return next((s.SizeOfRawData for s in pe.sections if s.Name.rstrip(b"\0") == b".idata"), 0)

    def test_the_shape_has_what_the_benchmark_needs(self):
        got = self.description
        wide = os.path.join(self.tree, "WINDOWS", "WinSxS")
        self.assertEqual(got["wide_subdirs"], len(os.listdir(wide)))
        self.assertGreaterEqual(got["wide_subdirs"], 500)
        pe_files = sum(got["kinds"].get(k, 0) for k in ("dll", "exe", "other_pe", "ne_dll", "pe32plus_dll",
                                                         "managed_dll", "managed_exe"))
        self.assertTrue(0.65 <= pe_files / got["files"] <= 0.85, pe_files / got["files"])
        dlls = got["kinds"]["dll"] + got["kinds"]["managed_dll"]
        # A tenth at the bench's sizes; the small machine's system folders weigh more.
        self.assertTrue(0.05 <= got["kinds"]["managed_dll"] / dlls <= 0.2, "about a tenth of the DLLs are managed")
        self.assertGreater(got["kinds"]["unselected"], 0)
        self.assertGreater(got["kinds"]["ini"], 0)
        sizes = sorted(os.path.getsize(os.path.join(r, n)) for r, n in walk_files(self.tree))
        self.assertLess(sizes[len(sizes) // 2], 100 << 10, "most files are under 100 KB")
        self.assertGreater(sizes[-1], 1 << 20, "some files are of several MB")
        names = [n for _, n in walk_files(self.tree)] + [d for _, ds, _ in os.walk(self.tree) for d in ds]
        self.assertTrue(any(" " in n for n in names), "some names are long, with blanks")
        deepest = max(len(os.path.relpath(r, self.tree)) for r, _ in walk_files(self.tree))
        self.assertTrue(150 < deepest + 3 < 230, deepest)

    def test_shared_dlls_name_existing_dlls_nothing_imports(self):
        shared = self.description["shared_dlls"]
        self.assertEqual(5, len(shared))
        imported = set()
        for root, name in walk_files(self.tree):
            names = scan_model.imports_of(os.path.join(root, name), {"unjudged": []}, True) or []
            imported.update(n.lower() for n in names)
        for path in shared:
            unix = os.path.join(self.tree, *path[3:].split("\\"))
            with self.subTest(path=path):
                self.assertTrue(os.path.isfile(unix))
                self.assertNotIn(os.path.splitext(os.path.basename(unix))[0].lower(), imported)

    def test_sixteen_bit_and_64_bit_dlls_are_refused_by_the_reader(self):
        for name in ("SIXTEEN.DLL", "WIDE64.DLL"):
            with self.subTest(file=name):
                self.assertIsNone(scan_model.imports_of(os.path.join(self.tree, "BACKUP", name), {"unjudged": []}))

    def test_the_same_size_gives_the_same_machine(self):
        def digest(folder):
            h = hashlib.sha256()
            for root, name in sorted(walk_files(os.path.join(folder, "tree"))):
                h.update(os.path.relpath(os.path.join(root, name), folder).encode())
                with open(os.path.join(root, name), "rb") as f:
                    h.update(f.read())
            return h.hexdigest()

        again = os.path.join(self.temp.name, "again")
        make_machine.make_machine(SIZE, again)
        self.assertEqual(digest(self.folder), digest(again))


class WideOnlyMachine(unittest.TestCase):
    def test_holds_the_wide_directory_alone(self):
        with tempfile.TemporaryDirectory() as temp:
            got = make_machine.make_machine(0, temp, wide_only=120)
            tree = os.path.join(temp, "tree")
            self.assertEqual(["WINDOWS"], os.listdir(tree))
            self.assertEqual(120, len(os.listdir(os.path.join(tree, "WINDOWS", "WinSxS"))))
            self.assertEqual(120, got["kinds"]["dll"])
            self.assertEqual({}, got["shared_dlls"])


if __name__ == "__main__":
    unittest.main()
