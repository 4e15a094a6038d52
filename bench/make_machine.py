#!/usr/bin/python3
"""Writes a benchmark machine: a tree of real PE32 files, INI files and data files that
a bench prefix maps as drive D:, shaped like a modern installation at a chosen size.

    make_machine.py SIZE OUTDIR [--half-64-bit]

OUTDIR/tree is the drive's root; OUTDIR/machine.json describes it (file counts, bytes,
what the floor program must read, the SharedDLLs values to register). The same SIZE
always gives the same machine.

The PE files are written byte by byte (no compiler: tens of thousands must take
seconds), in three layouts: most with the import descriptors at the start of a section
named ".idata", as the GNU linker lays them out; a share with them merged into ".rdata"
and no ".idata", as Microsoft's and LLVM's linkers write them; and a share with ".idata"
and a delay-load import table in ".rdata" for some of their modules. Who imports whom:

- D:\\WINDOWS\\SYSTEM32 holds the machine's own system DLLs, layered so that each imports
  a few below it (chains), and a few programs that import them. That folder is not on
  the module search path (the prefix's C:\\windows is), so its DLLs are found only from
  their own folder or by an application that ships a copy beside its program.
- Applications (short names under D:\\APPS, long ones with blanks under D:\\Program Files,
  some nested deep) hold programs that import their own DLLs, which import each other
  in chains; plug-ins that only an INI file names (by bare name and by full path);
  pairs of DLLs that import only each other; data files no filter selects.
- Every PE file imports some of Wine's real system DLLs (KERNEL32, USER32, MSVCRT...),
  so that the search path's system directory is exercised, and some import names that
  resolve nowhere.
- D:\\WINDOWS\\WinSxS is the wide directory: thousands of subdirectories with a DLL and a
  manifest each.
- D:\\BACKUP holds orphans; a few of them are registered in SharedDLLs.
- One 16-bit DLL and one PE32+ DLL, which the scan must not list.
- Links only the modern reading follows: DLLs that forward exports to a DLL of their
  application, imports of API-set names, programs whose manifest beside them names a
  private side-by-side assembly (a subfolder with its manifest and a DLL), and Node
  add-ons (.node) that import their application's DLLs.

With --half-64-bit, the PE files of every other folder are 64-bit (PE32+ for x64), as on
a current 64-bit installation, where a folder's programs and DLLs share one width.
"""

import hashlib
import json
import os
import random
import shutil
import struct
import sys
import zlib

FILTERS = {".EXE": 1, ".DLL": 1, ".CNV": 1, ".FLT": 1, ".EQU": 1, ".VBX": 1, ".OCX": 1, ".DRV": 1, ".GRP": 0,
           ".INI": 0, ".CPL": 1, ".3GR": 1, ".SCR": 1}
WINE_DLLS = ["KERNEL32.dll", "USER32.dll", "GDI32.dll", "ADVAPI32.dll", "msvcrt.dll", "SHELL32.dll", "ole32.dll",
             "OLEAUT32.dll", "COMCTL32.dll", "comdlg32.dll", "WS2_32.dll", "VERSION.dll", "WINMM.dll",
             "SHLWAPI.dll", "WININET.dll", "CRYPT32.dll", "RPCRT4.dll", "IMM32.dll", "WINSPOOL.DRV", "ntdll.dll"]
# Modules no drive holds: each costs the scan a whole unsuccessful search.
MISSING_DLLS = ["MSVBVM50.DLL", "VB40032.DLL", "MSVCR71.dll", "QTCORE4.DLL", "BORLNDMM.DLL", "CW3230.DLL"]
# Names a current loader maps through the machine's API set schema.
API_SET_DLLS = ["api-ms-win-core-synch-l1-2-0.dll", "api-ms-win-crt-runtime-l1-1-0.dll",
                "api-ms-win-core-file-l1-1-0.dll", "ext-ms-win-gdi-draw-l1-1-0.dll"]
SYLLABLES = ["qor", "vel", "tam", "bri", "sul", "ond", "kar", "mip", "zet", "lun", "fra", "gos", "hex", "dro",
             "wim", "yal", "pex", "cun", "rav", "tib"]
VENDORS = ["Tessellate Works", "Northwind Tools", "Blue Meadow Software", "Quillon Labs", "Harbor Point Systems",
           "Ostrava Digital", "Kestrel Imaging", "Marrow and Finch"]
PRODUCTS = ["Studio", "Suite 2019", "Image Lab", "Sync Center", "Media Player", "Office Tools", "Backup Agent",
            "Print Manager", "Data Bridge", "Font Viewer"]
DATA_EXTENSIONS = [".txt", ".dat", ".bmp", ".hlp", ".chm", ".xml", ".log", ".png", ".cat", ".json", ".mui"]

# Shares of the PE files written as Microsoft's linker lays them out: import tables in
# .rdata, and .idata with some modules delay-loaded from a table in .rdata.
RDATA_SHARE = 0.25
DELAY_SHARE = 0.10
# Share of an application's own DLLs that are managed assemblies: a tenth of the machine's DLLs.
MANAGED_SHARE = 0.2

FILE_ALIGNMENT = 0x200
SECTION_ALIGNMENT = 0x1000
HEADERS_SIZE = 0x400
FLOOR_FIRST_READ = 4096
WRITTEN_PADDING = 32 * 1024  # beyond this the padding is left sparse: writing gigabytes takes too long


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


class Filler:
    """Bytes that look like code and data, with the module-name strings real programs carry."""

    def __init__(self, rng):
        block = bytearray(rng.randbytes(1 << 20))
        for offset in range(0, len(block) - 64, 4096):
            text = rng.choice([b"\0mfc42.dll\0", b"\0KERNEL32.DLL\0", b"Unable to load %s.DLL\0",
                               b"C:\\WINDOWS\\SYSTEM\\COMMDLG.DLL\0", b"\0GetProcAddress\0LoadLibraryA\0",
                               b"\0Copyright (c) 1997\0"])
            block[offset:offset + len(text)] = text
        self.block = bytes(block)

    def take(self, rng, size):
        start = rng.randrange(0, len(self.block) - size) if size < len(self.block) else 0
        return self.block[start:start + size]


def import_section(names, rva):
    """The .idata bytes for the modules in names, laid out from its first byte as GNU ld does:
    descriptors, lookup tables, address tables, hint/name entries, module names. Each module
    gets one imported function, so each lookup table is one entry and its terminator."""
    count = len(names)
    ilt = (count + 1) * 20
    iat = ilt + 8 * count
    hints = iat + 8 * count
    hint_blob = bytearray()
    thunks = []
    for i in range(count):
        thunks.append(rva + hints + len(hint_blob))
        entry = struct.pack("<H", i) + b"Func%04d\0" % i
        hint_blob += entry + (b"\0" if len(entry) % 2 else b"")
    name_blob = bytearray()
    name_rvas = []
    for name in names:
        name_rvas.append(rva + hints + len(hint_blob) + len(name_blob))
        name_blob += name.encode("latin-1") + b"\0"
    out = bytearray()
    for i in range(count):
        out += struct.pack("<IIIII", rva + ilt + 8 * i, 0, 0, name_rvas[i], rva + iat + 8 * i)
    out += bytes(20)
    for _ in range(2):
        out += b"".join(struct.pack("<II", thunk, 0) for thunk in thunks)
    out += hint_blob + name_blob
    return bytes(out), (rva + iat, 8 * count)


def delay_import_table(names, rva, data_rva):
    """Delay-load descriptors for names (attributes 1: every address an RVA), then their
    name tables, hint/name entries and module names, laid out from rva; the module handles
    and address tables that the loader's helper fills lie in .data, at data_rva."""
    count = len(names)
    tables = (count + 1) * 32
    hints = tables + 8 * count
    blob = bytearray()
    hint_rvas, name_rvas = [], []
    for i in range(count):
        hint_rvas.append(rva + hints + len(blob))
        entry = struct.pack("<H", i) + b"Late%04d\0" % i
        blob += entry + (b"\0" if len(entry) % 2 else b"")
    for name in names:
        name_rvas.append(rva + hints + len(blob))
        blob += name.encode("latin-1") + b"\0"
    out = bytearray()
    for i in range(count):
        out += struct.pack("<IIIIIIII", 1, name_rvas[i], data_rva + 4 * i, data_rva + 4 * count + 8 * i,
                           rva + tables + 8 * i, 0, 0, 0)
    out += bytes(32)
    out += b"".join(struct.pack("<II", hint, 0) for hint in hint_rvas)
    return bytes(out + blob)


def metadata_blob(rva, own, references, natives):
    """A CLR header at rva and the metadata after it, as a compiler lays out a managed
    assembly named own: AssemblyRef rows for references, a P/Invoke (ImplMap) row for each
    native module through ModuleRef rows. The tables are small: every index is 2 bytes."""
    strings, at = bytearray(b"\0"), {}

    def string(text):
        if text not in at:
            at[text] = len(strings)
            strings.extend(text.encode("latin-1") + b"\0")
        return at[text]

    module = struct.pack("<HHHHH", 0, string(own + ".dll"), 0, 0, 0)
    module_refs = b"".join(struct.pack("<H", string(n)) for n in natives)
    impl_maps = b"".join(struct.pack("<HHHH", 0x100, (i + 1) << 1 | 1, string(f"Entry{i}"), i + 1)
                         for i in range(len(natives)))
    assembly = struct.pack("<IHHHHIHHH", 0x8004, 1, 0, 0, 0, 0, 0, string(own), 0)
    assembly_refs = b"".join(struct.pack("<HHHHIHHHH", 4, 0, 0, 0, 0, 0, string(r), 0, 0) for r in references)
    present = [(0x00, 1, module), (0x1A, len(natives), module_refs), (0x1C, len(natives), impl_maps),
               (0x20, 1, assembly), (0x23, len(references), assembly_refs)]
    present = [p for p in present if p[1]]
    valid = sum(1 << table for table, _, _ in present)
    tables = struct.pack("<IBBBBQQ", 0, 2, 0, 0, 1, valid, 0) + b"".join(struct.pack("<I", n) for _, n, _ in present)
    tables += b"".join(body for _, _, body in present)
    tables += bytes(-len(tables) % 4)
    strings += bytes(-len(strings) % 4)
    version = b"v4.0.30319\0\0"
    root_size = 16 + len(version) + 4 + (8 + 4) + (8 + 12)
    root = b"BSJB" + struct.pack("<HHII", 1, 1, 0, len(version)) + version + struct.pack("<HH", 0, 2)
    root += struct.pack("<II", root_size, len(tables)) + b"#~\0\0"
    root += struct.pack("<II", root_size + len(tables), len(strings)) + b"#Strings\0\0\0\0"
    metadata = root + tables + bytes(strings)
    header = struct.pack("<IHHII", 72, 2, 5, rva + 72, len(metadata)) + struct.pack("<I", 1) + bytes(72 - 20)
    return header + metadata


def export_directory(dll_name, forwards, rva):
    """An export directory of dll_name, laid out from rva, whose functions each forward to
    one of forwards ("MODULE.Function"): the directory, its three tables, then the names."""
    count = len(forwards)
    names_table = 40 + 4 * count
    ordinals = names_table + 4 * count
    strings = ordinals + 2 * count
    blob = bytearray()

    def string(text):
        at = rva + strings + len(blob)
        blob.extend(text.encode("latin-1") + b"\0")
        return at

    name_rva = string(dll_name)
    function_names = [string(f"Fwd{i:04d}") for i in range(count)]
    targets = [string(forward) for forward in forwards]
    out = struct.pack("<IIHHIIIIIII", 0, 0, 0, 0, name_rva, 1, count, count, rva + 40, rva + names_table,
                      rva + ordinals)
    out += b"".join(struct.pack("<I", t) for t in targets)
    out += b"".join(struct.pack("<I", n) for n in function_names)
    out += b"".join(struct.pack("<H", i) for i in range(count))
    return bytes(out + blob)


def pe32_image(names, is_dll, rng, filler, layout_kind="idata", forwards=(), clr=None):
    """Headers and sections of a PE32 file importing names, its tables laid out as
    layout_kind says: "idata", "rdata" (merged into .rdata, no .idata) or "delay" (.idata,
    and the later half of the modules but KERNEL32 delay-loaded through a table in
    .rdata); with forwards, an export directory in .rdata forwarding to each. With clr,
    (own name, references, native modules), the file is a managed assembly whose CLR
    header and metadata follow in a section of their own. Returns
    (bytes, idata_raw_size)."""
    text = filler.take(rng, align(rng.randrange(0x300, 0x6000), FILE_ALIGNMENT))
    data = bytearray(filler.take(rng, align(rng.randrange(0x100, 0x1000), FILE_ALIGNMENT)))
    rdata_size = align(rng.randrange(0x100, 0x2000), FILE_ALIGNMENT)
    late = names[len(names) - max(1, (len(names) - 1) // 2):] if layout_kind == "delay" and len(names) > 1 else []
    early = names[:len(names) - len(late)]
    data_rva = SECTION_ALIGNMENT + align(len(text), SECTION_ALIGNMENT)
    rdata_rva = data_rva + align(len(data), SECTION_ALIGNMENT)
    # What the linker merged into .rdata follows a little of its own data, as MSVC's does.
    merged_at = 0x40
    directories = [(0, 0)] * 16
    merged = b""
    if layout_kind == "rdata":
        merged, directories[12] = import_section(early, rdata_rva + merged_at)
        directories[1] = (rdata_rva + merged_at, (len(early) + 1) * 20)
    elif late:
        merged = delay_import_table(late, rdata_rva + merged_at, data_rva)
        data[:12 * len(late)] = bytes(12 * len(late))
        directories[13] = (rdata_rva + merged_at, (len(late) + 1) * 32)
    exports_at = align(merged_at + len(merged), 4)
    exports = export_directory("FORWARDS.DLL", forwards, rdata_rva + exports_at) if forwards else b""
    if exports:
        directories[0] = (rdata_rva + exports_at, len(exports))
    rdata = bytearray(filler.take(rng, align(max(rdata_size, exports_at + len(exports)), FILE_ALIGNMENT)))
    rdata[merged_at:merged_at + len(merged)] = merged
    rdata[exports_at:exports_at + len(exports)] = exports
    sections = [[b".text", text, 0x60000020], [b".data", bytes(data), 0xC0000040],
                [b".rdata", bytes(rdata), 0x40000040]]
    rva, raw = SECTION_ALIGNMENT, HEADERS_SIZE
    layout = []
    for name, body, flags in sections:
        layout.append((name, rva, raw, body, flags))
        rva += align(len(body), SECTION_ALIGNMENT)
        raw += len(body)
    idata_raw = 0
    if layout_kind != "rdata":
        idata, directories[12] = import_section(early, rva)
        idata_raw = align(len(idata), FILE_ALIGNMENT)
        layout.append((b".idata", rva, raw, idata + bytes(idata_raw - len(idata)), 0xC0000040))
        directories[1] = (rva, (len(early) + 1) * 20)
    if clr:
        _, last_rva, last_raw, last_body, _ = layout[-1]
        rva, raw = last_rva + align(len(last_body), SECTION_ALIGNMENT), last_raw + len(last_body)
        blob = metadata_blob(rva, *clr)
        directories[14] = (rva, 72)
        layout.append((b".cormeta", rva, raw, blob + bytes(align(len(blob), FILE_ALIGNMENT) - len(blob)), 0x40000040))
    image_size = layout[-1][1] + align(len(layout[-1][3]), SECTION_ALIGNMENT)

    dos = bytearray(0x80)
    dos[0:2] = b"MZ"
    struct.pack_into("<HHHHH", dos, 2, 0x90, 3, 0, 4, 0)
    struct.pack_into("<I", dos, 0x3C, 0x80)
    dos[0x40:0x40 + 39] = b"This program cannot be run in DOS mode."
    characteristics = 0x0102 | (0x2000 if is_dll else 0)
    file_header = struct.pack("<4sHHIIIHH", b"PE\0\0", 0x14C, len(layout), rng.randrange(0x30000000, 0x60000000),
                              0, 0, 224, characteristics)
    optional = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", 0x10B, 2, 30, len(text), len(data) + len(rdata),
                           0, SECTION_ALIGNMENT, SECTION_ALIGNMENT, layout[1][1],
                           0x10000000 if is_dll else 0x400000, SECTION_ALIGNMENT, FILE_ALIGNMENT, 4, 0, 1, 0, 4,
                           0, 0, image_size, HEADERS_SIZE, 0, 3, 0, 0x200000, 0x1000, 0x100000,
                           0x1000, 0, 16)
    optional += b"".join(struct.pack("<II", *d) for d in directories)
    table = b"".join(struct.pack("<8sIIIIIIHHI", name, len(body), va, len(body), ptr, 0, 0, 0, 0, flags)
                     for name, va, ptr, body, flags in layout)
    headers = bytes(dos) + file_header + optional + table
    out = bytearray(headers + bytes(HEADERS_SIZE - len(headers)))
    for _, _, _, body, _ in layout:
        out += body
    return bytes(out), idata_raw


def as_pe32plus(image):
    """The same file as a PE32+ image for x64: ImageBase 8 bytes wide, the directory count,
    the directories and the section table 16 bytes further on, inside the header padding."""
    out = bytearray(image)
    optional = 0x80 + 24
    out[optional + 92:optional + 92] = bytes(16)
    del out[HEADERS_SIZE:HEADERS_SIZE + 16]
    image_base = struct.unpack_from("<I", out, optional + 28)[0]
    struct.pack_into("<H", out, 0x84, 0x8664)
    struct.pack_into("<H", out, 0x94, 240)
    struct.pack_into("<H", out, optional, 0x20B)
    struct.pack_into("<II", out, optional + 24, image_base, 0)
    return bytes(out)


def ne_image():
    """A 16-bit DLL: MZ header pointing at an "NE" header, no PE signature."""
    out = bytearray(0x200)
    out[0:2] = b"MZ"
    struct.pack_into("<I", out, 0x3C, 0x80)
    out[0x80:0x82] = b"NE"
    struct.pack_into("<H", out, 0x8C, 0x8000)  # library module
    return bytes(out)


def pe32plus_image():
    """A 64-bit DLL whose .idata names KERNEL32; PE32 readers must refuse it."""
    out = bytearray(0x600)
    out[0:2] = b"MZ"
    struct.pack_into("<I", out, 0x3C, 0x80)
    struct.pack_into("<4sHHIIIHH", out, 0x80, b"PE\0\0", 0x8664, 1, 0, 0, 0, 240, 0x2022)
    struct.pack_into("<H", out, 0x98, 0x20B)
    struct.pack_into("<8sIIIIIIHHI", out, 0x98 + 240, b".idata", 0x200, 0x1000, 0x200, 0x400, 0, 0, 0, 0,
                     0xC0000040)
    struct.pack_into("<IIIII", out, 0x400, 0, 0, 0x1100, 0, 0)
    out[0x500:0x50D] = b"KERNEL32.dll\0"
    return bytes(out)


def file_size(rng, floor):
    """Sizes spread like an installation's: most under 100 KB, a few of several MB."""
    roll = rng.random()
    if roll < 0.70:
        size = rng.randrange(2 << 10, 64 << 10)
    elif roll < 0.967:
        size = rng.randrange(64 << 10, 512 << 10)
    elif roll < 0.997:
        size = rng.randrange(512 << 10, 4 << 20)
    else:
        size = rng.randrange(4 << 20, 12 << 20)
    return max(size, floor)


class Machine:
    def __init__(self, size, outdir, half_64_bit=False):
        self.half_64_bit = half_64_bit
        self.rng = random.Random(size)
        self.size = size
        self.root = os.path.join(outdir, "tree")
        self.filler = Filler(self.rng)
        self.files = 0
        self.created = set()
        self.stats = {"bytes": 0, "selected_files": 0, "selected_bytes": 0, "quick_files": 0, "quick_bytes": 0}
        self.kinds = {}
        self.layouts = {}  # PE32 files by the layout of their import tables
        self.used_names = {}  # folder, in lower case -> its names, in lower case
        self.sys_names = []
        self.orphans = []

    def windows_path(self, folder, name=None):
        rel = os.path.relpath(folder, self.root)
        path = "D:\\" + ("" if rel == "." else rel.replace("/", "\\"))
        return path if name is None else path.rstrip("\\") + "\\" + name

    def folder(self, *parts):
        path = os.path.join(self.root, *parts)
        if path not in self.created:
            os.makedirs(path, exist_ok=True)
            self.created.update(os.path.join(self.root, *parts[:p + 1]) for p in range(len(parts)))
        return path

    def unique(self, folder, stem, extension):
        """A name not yet used in folder, compared as Windows does: without regard to case."""
        used = self.used_names.setdefault(folder.lower(), set())
        name, n = stem + extension, 1
        while name.lower() in used:
            n += 1
            name = f"{stem}{n}{extension}"
        used.add(name.lower())
        return name

    def write(self, folder, name, head, size, kind, quick_bytes):
        """Writes head, then padding up to size; the first part of the padding is real bytes."""
        size = max(size, len(head))
        written = min(size, len(head) + WRITTEN_PADDING)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(head)
            if written > len(head):
                f.write(self.filler.take(self.rng, written - len(head)))
            if size > written:
                f.truncate(size)
        self.files += 1
        self.stats["bytes"] += size
        self.kinds[kind] = self.kinds.get(kind, 0) + 1
        extension = os.path.splitext(name)[1].upper()
        if extension in FILTERS:
            self.stats["selected_files"] += 1
            self.stats["selected_bytes"] += size
            if FILTERS[extension] == 1:
                self.stats["quick_files"] += 1
                self.stats["quick_bytes"] += quick_bytes
        return self.windows_path(folder, name)

    def pe(self, folder, name, imports, is_dll, kind=None, forwards=(), clr=None):
        roll = self.rng.random()
        layout = "rdata" if roll < RDATA_SHARE else "delay" if roll < RDATA_SHARE + DELAY_SHARE else "idata"
        # A compiler of managed code merges the import table into its one section.
        layout = "rdata" if clr else layout
        self.layouts[layout] = self.layouts.get(layout, 0) + 1
        head, idata_raw = pe32_image(imports, is_dll, self.rng, self.filler, layout, forwards, clr)
        if self.half_64_bit and zlib.crc32(folder.encode("utf-8", "surrogateescape")) & 1:
            head = as_pe32plus(head)
            self.stats["pe32plus_files"] = self.stats.get("pe32plus_files", 0) + 1
        size = file_size(self.rng, len(head))
        quick = min(FLOOR_FIRST_READ, size) + idata_raw
        return self.write(folder, name, head, size, kind or ("dll" if is_dll else "exe"), quick)

    def data(self, folder, name, text=None):
        head = text.encode("latin-1") if text is not None else self.filler.take(self.rng, 512)
        size = len(head) if text is not None else file_size(self.rng, len(head))
        kind = {".INI": "ini", ".GRP": "grp"}.get(os.path.splitext(name)[1].upper(), "unselected")
        return self.write(folder, name, head, size, kind, min(FLOOR_FIRST_READ, size))

    def wine_imports(self):
        picks = ["KERNEL32.dll"] + self.rng.sample(WINE_DLLS[1:], self.rng.randrange(1, 5))
        roll = self.rng.random()
        if roll < 0.05:
            picks.append(self.rng.choice(MISSING_DLLS))
        elif roll < 0.10:
            picks.append(self.rng.choice(API_SET_DLLS))
        return picks

    def module_name(self, n):
        return (self.rng.choice(SYLLABLES) + self.rng.choice(SYLLABLES) + str(n % 100)).upper() + ".DLL"

    def build_system(self, count):
        folder = self.folder("WINDOWS", "SYSTEM32")
        names = []
        for i in range(count):
            name = self.unique(folder, self.module_name(i)[:-4], ".DLL")
            below = self.rng.sample(names, min(len(names), self.rng.randrange(0, 4)))
            self.pe(folder, name, self.wine_imports() + below, True)
            names.append(name)
        self.sys_names = names
        # The system's own programs keep its lower layers linked; the upper ones stay unlinked.
        for i in range(max(3, count // 12)):
            self.pe(folder, self.unique(folder, f"svc{i:03d}", ".exe"),
                    self.wine_imports() + self.rng.sample(names[: len(names) // 2], min(4, len(names) // 2)), False)
        for extension, kind in [(".DRV", "other_pe"), (".CPL", "other_pe"), (".OCX", "other_pe"),
                                (".SCR", "other_pe")]:
            for i in range(max(1, count // 40)):
                self.pe(folder, self.unique(folder, f"sys{i:02d}", extension), self.wine_imports(), True, kind)
        for i in range(max(2, count // 10)):
            self.data(folder, self.unique(folder, f"{names[i % len(names)][:-4].lower()}.dll", ".mui"))
        self.data(folder, "SYSTEM.INI", "[drivers]\nwave=mmdrv.drv\ndrivers=mmsystem.dll\n"
                  f"[boot]\nshell={names[-1]}\n")

    def build_app(self, parts, stem_long):
        """One application: programs, their DLLs in chains, plug-ins named only by an INI file,
        sometimes a pair of DLLs that import only each other, and data files."""
        rng = self.rng
        root = self.folder(*parts)
        own_count = rng.randrange(2, 18)
        own, managed = [], []
        for i in range(own_count):
            stem = (f"{parts[-1]} Core {i}" if stem_long and rng.random() < 0.4
                    else f"{parts[-1][:4].lower()}{i:02d}")
            name = self.unique(root, stem, ".dll")
            if rng.random() < MANAGED_SHARE:
                # An assembly: it reaches the others by reference, native DLLs by P/Invoke.
                natives = [n[:-4] if rng.random() < 0.5 else n for n in rng.sample(own, min(len(own), 2))]
                clr = (name[:-4], rng.sample(managed, min(len(managed), 2)) + ["mscorlib", "System"],
                       natives + ["user32.dll", "kernel32"])
                self.pe(root, name, ["KERNEL32.dll", "mscoree.dll"], True, "managed_dll", clr=clr)
                managed.append(name[:-4])
                continue
            below = rng.sample(own, min(len(own), rng.randrange(0, 3)))
            system = rng.sample(self.sys_names, rng.randrange(0, 3))
            # Some forward exports to a DLL of their own application, which nothing else may import.
            plain = [n for n in own if " " not in n]
            forwards = ([f"{n[:-4]}.Func{k}" for k, n in enumerate(rng.sample(plain, min(2, len(plain))))]
                        if plain and rng.random() < 0.1 else ())
            self.pe(root, name, self.wine_imports() + below + system, True, forwards=forwards)
            own.append(name)
        if managed:
            program = self.unique(root, "appnet", ".exe")
            self.pe(root, program, ["KERNEL32.dll", "mscoree.dll"], False, "managed_exe",
                    clr=(program[:-4], managed[-2:] + ["mscorlib"], ["user32.dll"]))
            libraries = {f"{m}/1.0.0": {"runtime": {f"lib/net8.0/{m}.dll": {"assemblyVersion": "1.0.0.0"}}}
                         for m in managed[:1]}
            libraries[f"{program[:-4]}/1.0.0"] = {"native": {f"{own[0]}": {}}} if own else {}
            deps = {"runtimeTarget": {"name": ".NETCoreApp,Version=v8.0/win-x86"},
                    "targets": {".NETCoreApp,Version=v8.0/win-x86": libraries}}
            self.data(root, self.unique(root, program[:-4], ".deps.json"), json.dumps(deps, indent=2) + "\n")
        if rng.random() < 0.3:
            # A private copy of a system DLL: found beside the program, not in SYSTEM32.
            copy = rng.choice(self.sys_names)
            used = self.used_names.setdefault(root.lower(), set())
            if copy.lower() not in used:
                used.add(copy.lower())
                self.pe(root, copy, self.wine_imports(), True)
                own.append(copy)
        for i in range(rng.randrange(1, 4)):
            name = self.unique(root, f"{parts[-1]} Launcher" if stem_long and i == 0 else f"app{i}", ".exe")
            uses = rng.sample(own[-4:], min(len(own), rng.randrange(1, 4)))
            self.pe(root, name, self.wine_imports() + uses + rng.sample(self.sys_names, 2), False)
        if rng.random() < 0.1:
            self.private_assembly(parts, root, name, own)
        if rng.random() < 0.15:
            # A Node add-on: a DLL by another extension, which only the modern reading examines.
            addon = self.unique(root, "addon", ".node")
            self.pe(root, addon, self.wine_imports() + rng.sample(own, min(len(own), 1)), True, "node")
        if rng.random() < 0.15:
            a, b = self.unique(root, "twina", ".dll"), self.unique(root, "twinb", ".dll")
            self.pe(root, a, self.wine_imports() + [b], True)
            self.pe(root, b, self.wine_imports() + [a], True)
        plugins = self.folder(*parts, "plugins") if rng.random() < 0.5 else None
        ini_lines = ["[Settings]", "Language=en"]
        if plugins:
            for i in range(rng.randrange(1, 8)):
                name = self.unique(plugins, f"plug{i:02d}", ".dll")
                path = self.pe(plugins, name, self.wine_imports() + rng.sample(own, min(len(own), 1)), True)
                ini_lines.append(f"Plugin{i}={name}" if i % 2 else f"Plugin{i}={path}")
        self.data(root, self.unique(root, "settings", ".ini"), "\n".join(ini_lines) + "\n")
        if rng.random() < 0.1:
            self.data(root, self.unique(root, "program", ".grp"))
        if rng.random() < 0.5:
            folder = self.folder(*parts, "resources")
            for i in range(rng.randrange(1, 6)):
                self.data(folder, self.unique(folder, f"item{i:03d}", rng.choice(DATA_EXTENSIONS)))
        for i in range(rng.randrange(0, 3)):
            self.data(root, self.unique(root, f"readme{i}", rng.choice(DATA_EXTENSIONS)))

    def private_assembly(self, parts, root, program, own):
        """A private side-by-side assembly that program's manifest names: a subfolder named
        after it with its manifest and a DLL that only the assembly's manifest lists."""
        assembly = f"{parts[-1].replace(' ', '')}.Private"
        folder = self.folder(*parts, assembly)
        dll = self.unique(folder, "private", ".dll")
        self.pe(folder, dll, self.wine_imports() + self.rng.sample(own, min(len(own), 1)), True)
        identity = f'<assemblyIdentity type="win32" name="{assembly}" version="1.0.0.0" processorArchitecture="x86"/>'
        head = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n' \
               '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">\n'
        self.data(folder, f"{assembly}.manifest", f'{head}{identity}\n<file name="{dll}"/>\n</assembly>\n')
        self.data(root, f"{program}.manifest", f"{head}<dependency><dependentAssembly>{identity}"
                  "</dependentAssembly></dependency>\n</assembly>\n")

    def build_deep(self, index):
        parts = ["Program Files", self.rng.choice(VENDORS), f"Deep Product {index}", "lib", "runtime", "modules",
                 "x86", "release", "components", "shared", "native", "platform", "win32", "i386",
                 "optimized", "current", "bin"]
        self.build_app(parts, True)

    def build_wide(self, count):
        """WinSxS-like: thousands of component folders, a DLL and a manifest each."""
        for i in range(count):
            stem = self.rng.choice(SYLLABLES) + self.rng.choice(SYLLABLES)
            folder = self.folder("WINDOWS", "WinSxS", f"x86_{stem}.runtime_6595b64144ccf1df_{i % 17}.0.{i}_none")
            name = f"{stem}{i % 50}.dll"
            self.pe(folder, name, self.wine_imports(), True)
            if self.rng.random() < 0.6:
                self.data(folder, name[:-4] + ".manifest", f'<assembly name="{stem}" version="{i}"/>\n')

    def build_backup(self, count):
        folder = self.folder("BACKUP")
        for i in range(count):
            name = self.unique(folder, f"old{i:04d}", ".dll")
            self.orphans.append(self.pe(folder, name, self.wine_imports(), True))
        self.write(folder, "SIXTEEN.DLL", ne_image(), 0x200, "ne_dll", 0x200)
        self.write(folder, "WIDE64.DLL", pe32plus_image(), 0x600, "pe32plus_dll", 0x600)

    def build_documents(self, count):
        for i in range(count):
            folder = self.folder("Users", "Public", "Documents", f"Project {i // 40:03d}")
            self.data(folder, self.unique(folder, f"Report {i:05d}", self.rng.choice(DATA_EXTENSIONS)))

    def build_wide_only(self, subdirs):
        self.build_wide(subdirs)
        return {"size": 0, "files": self.files, "dirs": len(self.created), "apps": 0, "kinds": self.kinds,
                "layouts": self.layouts,
                **self.stats, "wide_dir": "D:\\WINDOWS\\WinSxS", "wide_subdirs": subdirs, "shared_dlls": {}}

    def build_flat_only(self, count, beyond_ascii):
        """One folder of count DLLs; with beyond_ascii the first is named beyond ASCII, which
        the listing cannot decide as it decides plain names."""
        folder = self.folder("FLAT")
        for i in range(count):
            name = "\u00dcn\u00efcode.dll" if beyond_ascii and i == 0 else self.unique(folder, f"flat{i:05d}", ".dll")
            self.pe(folder, name, self.wine_imports(), True)
        return {"size": 0, "files": self.files, "dirs": len(self.created), "apps": 0, "kinds": self.kinds,
                "layouts": self.layouts, **self.stats, "flat_files": count, "shared_dlls": {}}

    def build(self):
        n = self.size
        self.build_system(max(40, n * 6 // 100))
        self.build_wide(min(5000, max(500, n // 10)))
        self.build_backup(max(10, n // 60))
        self.build_documents(n // 40)
        apps = 0
        while self.files < n:
            apps += 1
            if apps % 25 == 0:
                self.build_deep(apps)
            elif apps % 3 == 0:
                vendor = self.rng.choice(VENDORS)
                self.build_app(["Program Files", vendor, f"{self.rng.choice(PRODUCTS)} {apps}"], True)
            else:
                self.build_app(["APPS", f"APP{apps:04d}"], False)
        shared = {path: self.rng.randrange(1, 4) for path in self.rng.sample(self.orphans, 5)}
        return {"size": n, "files": self.files, "dirs": len(self.created), "apps": apps, "kinds": self.kinds,
                "layouts": self.layouts,
                **self.stats, "wide_dir": "D:\\WINDOWS\\WinSxS", "wide_subdirs": min(5000, max(500, n // 10)),
                "shared_dlls": shared}


def generator_hash():
    with open(__file__, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()[:12]


def make_machine(size, outdir, wide_only=None, flat_only=None, half_64_bit=False):
    """Writes the machine of this size, or with wide_only the wide directory alone with that
    many subdirectories, or with flat_only (count, beyond_ascii) one folder of that many
    DLLs; returns its description. half_64_bit: every other folder's PE files are 64-bit."""
    if os.path.exists(outdir):
        shutil.rmtree(outdir)
    os.makedirs(outdir)
    machine = Machine(size, outdir, half_64_bit)
    if flat_only is not None:
        description = machine.build_flat_only(*flat_only)
    elif wide_only is not None:
        description = machine.build_wide_only(wide_only)
    else:
        description = machine.build()
    description["generator"] = generator_hash()
    with open(os.path.join(outdir, "machine.json"), "w") as f:
        json.dump(description, f, indent=1)
    return description


def main(argv):
    if len(argv) not in (3, 4) or not argv[1].isdigit() or argv[3:] not in ([], ["--half-64-bit"]):
        print("usage: make_machine.py SIZE OUTDIR [--half-64-bit]", file=sys.stderr)
        return 2
    description = make_machine(int(argv[1]), argv[2], half_64_bit=len(argv) == 4)
    print(f"{description['files']} files, {description['dirs']} directories, "
          f"{description['bytes'] / 1e6:.0f} MB in {argv[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
