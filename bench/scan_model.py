"""An independent model of the quick scan's rules, written against the Unix side of a
Wine prefix: it walks the trees that the prefix maps as drive letters, reads import
tables with Debian's python3-pefile, resolves module names along the same search order
as the scan, follows chains of DLLs, and removes what the shared-DLL register names.

Shared by the reference test of the console scanner (tests/cli/scan_reference.py) and
the benchmark's native peer (bench/peer.py), so that both judge by the same rules."""

import os
import re

import pefile

DEFAULT_FILTERS = [(".EXE", 1), (".DLL", 1), (".CNV", 1), (".FLT", 1), (".EQU", 1), (".VBX", 1), (".OCX", 1),
                   (".DRV", 1), (".GRP", 0), (".INI", 0), (".CPL", 1), (".3GR", 1), (".SCR", 1)]
MODULE_EXTENSIONS = [".DLL", ".DRV", ".SYS", ".EXE", ".OCX", ".VBX"]
SYSTEM_DIRECTORIES = ["C:\\windows\\system32", "C:\\windows\\system", "C:\\windows"]


class Drives:
    """Drive letters and the Unix folders they map to."""

    def __init__(self, roots):
        self.roots = {letter.upper(): root for letter, root in roots.items()}

    def to_unix(self, path):
        drive, rest = path[0].upper(), path[3:]
        return os.path.join(self.roots[drive], *[p for p in rest.split("\\") if p])

    def to_windows(self, path):
        for letter, root in self.roots.items():
            if path == root or path.startswith(root + "/"):
                return letter + ":\\" + os.path.relpath(path, root).replace("/", "\\").lstrip(".")
        raise ValueError(path)

    def maps(self, path):
        return len(path) > 2 and path[1] == ":" and path[0].upper() in self.roots


def registry_section(system_reg, key):
    """The body of one key of a prefix's system.reg, or "" when the key is missing."""
    with open(system_reg, encoding="latin-1") as f:
        registry = f.read()
    escaped = re.escape(key.replace("\\", "\\\\"))
    found = re.search(r"^\[" + escaped + r"\][^\n]*\n(.*?)\n\n", registry, re.S | re.M | re.I)
    return found.group(1) if found else ""


def shared_dll_names(system_reg):
    """The value names of the shared-DLL register, unescaped."""
    body = registry_section(system_reg, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs")
    return [n.replace("\\\\", "\\") for n in re.findall(r'^"(.*?)"=', body, re.M)]


def search_tail(drives, path_dirs):
    """The search path after the program's and the current directory: the system
    directories, the Windows directory, then PATH, as far as the drives map them."""
    return [drives.to_unix(d) for d in SYSTEM_DIRECTORIES + [d for d in path_dirs if drives.maps(d)]]


def matches(name, extension):
    """Wildcard "*EXT" as the platform matches it: the long name, or the 8.3 name that a
    long name gets, whose extension is the first three characters of its last one."""
    if name.upper().endswith(extension):
        return True
    base, dot, ext = name.rpartition(".")
    short_ext = re.sub(r"[^A-Za-z0-9!#$%&'()\-@^_`{}~]", "", ext)[:3].upper()
    is_short = bool(dot) and 1 <= len(base) <= 8 and len(ext) <= 3 and " " not in name and name.count(".") == 1
    return bool(dot) and not is_short and "." + short_ext == extension


def reduced(name):
    """A module name as the reader adds it: no drive, no directory, no extension."""
    if len(name) > 1 and name[1] == ":":
        name = name[2:]
    name = re.split(r"[\\/]", name)[-1]
    if "." in name:
        name = name[: name.rindex(".")]
    return name[:255]


def raw_name(pe, rva):
    # pefile reports a name it finds unusual (blanks, say) as "*invalid*"; the scan
    # takes the bytes as they stand, up to the reader's 260.
    return (pe.get_string_at_rva(rva, 260) or b"").decode("latin-1")


def forwarded_modules(pe):
    """The modules the export directory forwards to, as pefile finds its forwarders: each
    once, ASCII case ignored, in the order of the address table."""
    pe.parse_data_directories(directories=[0])
    modules, seen = [], set()
    for symbol in sorted(getattr(getattr(pe, "DIRECTORY_ENTRY_EXPORT", None), "symbols", []),
                         key=lambda s: s.ordinal):
        if symbol.forwarder and b"." in symbol.forwarder:
            module = re.split(r"[\\/]", symbol.forwarder.rsplit(b".", 1)[0].decode("latin-1"))[-1]
            module = (module[2:] if len(module) > 1 and module[1] == ":" else module)[:255]
            key = module.encode("latin-1").upper()  # ASCII letters only, as the reader folds
            if module and key not in seen:
                seen.add(key)
                modules.append(module)
    return modules


def imports_of(path, judged, directories=False):
    """The reader's answer: None for a file it refuses, else the reduced names. With
    directories (the modern reading), those of the import and delay-load directories and
    the export directory's forwarders, as pefile finds them; otherwise those of the descriptors at the start of .idata."""
    try:
        with open(path, "rb") as f:
            if f.read(2) != b"MZ":
                return None
        pe = pefile.PE(path, fast_load=True)
    except (OSError, pefile.PEFormatError):
        return None
    if pe.OPTIONAL_HEADER.Magic != 0x10B:
        return None
    if directories:
        pe.parse_data_directories(directories=[1, 13])
        rvas = [e.struct.Name for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
        rvas += [e.struct.szName for e in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
        return [reduced(raw_name(pe, rva)) for rva in rvas] + forwarded_modules(pe)
    idata = [s for s in pe.sections if s.Name.split(b"\0")[0].lower() == b".idata"]
    if not idata:
        return []
    if pe.OPTIONAL_HEADER.DATA_DIRECTORY[1].VirtualAddress != idata[0].VirtualAddress:
        judged["unjudged"].append(path)
        return []
    pe.parse_data_directories(directories=[1])
    return [reduced(raw_name(pe, e.struct.Name)) for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]


class QuickScan:
    """One quick scan of the drives from C: on, as the program running from program_dir
    would make it, reading the import directories or only .idata."""

    def __init__(self, drives, program_dir, tail, directories=False, filters=DEFAULT_FILTERS):
        self.drives = drives
        self.directories = directories
        self.filters = filters
        self.program_dir = program_dir
        self.tail = tail
        self.listings = {}
        self.judged = {"unjudged": []}

    def listing(self, directory):
        """Lower-case name -> real name; Wine's file system ignores case."""
        if directory not in self.listings:
            try:
                self.listings[directory] = {n.lower(): n for n in os.listdir(directory)}
            except OSError:
                self.listings[directory] = {}
        return self.listings[directory]

    def resolve(self, name, directory):
        """The file a bare module name resolves to from directory, or None."""
        extension = name[name.rindex("."):].upper() if "." in name else ""
        if extension in MODULE_EXTENSIONS:
            return name if extension == ".DLL" else None
        for position, extension in enumerate(MODULE_EXTENSIONS):
            for folder in [self.program_dir, directory] + self.tail:
                real = self.listing(folder).get((name + extension).lower())
                if real and os.path.isfile(os.path.join(folder, real)):
                    return os.path.join(folder, real) if position == 0 else None
        return None

    def resolved(self, names, directory):
        return {r for r in (self.resolve(n, directory) for n in names) if r}

    def walk(self):
        """Drive phase: every DLL found, the valid links, and each DLL's own references."""
        listed, valid, refs = set(), set(), {}
        for letter in sorted(l for l in self.drives.roots if l >= "C"):
            for root, dirs, files in os.walk(self.drives.roots[letter]):
                dirs[:] = sorted(d for d in dirs if not os.path.islink(os.path.join(root, d)))
                if len(self.drives.to_windows(root)) > 259:
                    continue
                for extension, kind in self.filters:
                    kind = 2 if extension == ".DLL" else kind
                    for name in files:
                        path = os.path.join(root, name)
                        if kind == 0 or not matches(name, extension) or len(self.drives.to_windows(path)) > 259:
                            continue
                        names = imports_of(path, self.judged, self.directories)
                        if names is None:
                            continue
                        if kind == 2:
                            listed.add(path)
                            refs[path] = self.resolved(names, root)
                        else:
                            valid |= self.resolved(names, root)
        return listed, valid, refs

    def cross_check(self, valid, refs):
        """Every DLL worked off: the valid links, then the pending links they reach."""
        pending = set().union(*refs.values()) if refs else set()
        worked, queue = set(valid), list(valid)
        while queue:
            dll = queue.pop()
            if dll not in refs and os.path.isfile(dll):
                refs[dll] = self.resolved(imports_of(dll, self.judged, self.directories) or [],
                                          os.path.dirname(dll))
            for target in refs.get(dll, ()):
                if target in pending and target not in worked:
                    worked.add(target)
                    queue.append(target)
        return worked

    def run(self, shared_names):
        """The Unix paths of the DLLs the scan lists."""
        listed, valid, refs = self.walk()
        worked = self.cross_check(valid, refs)
        # The scan compares paths without regard to case; so does the register's pass.
        shared = {self.drives.to_unix(n).lower() for n in shared_names if n[1:3] == ":\\" and self.drives.maps(n)}
        return {p for p in listed if p not in worked and p.lower() not in shared}
