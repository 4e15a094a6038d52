"""An independent model of the quick scan's rules, written against the Unix side of a
Wine prefix: it walks the trees that the prefix maps as drive letters, reads import
tables with Debian's python3-pefile, resolves module names along the same search order
as the scan, takes with the modern reading the files the registry's values name, follows
chains of DLLs, and removes what the shared-DLL register names.

Shared by the reference test of the console scanner (tests/cli/scan_reference.py) and
the benchmark's native peer (bench/peer.py), so that both judge by the same rules."""

import json
import os
import re
import struct
import xml.etree.ElementTree as ElementTree

import pefile

DEFAULT_FILTERS = [(".EXE", 1), (".DLL", 1), (".CNV", 1), (".FLT", 1), (".EQU", 1), (".VBX", 1), (".OCX", 1),
                   (".DRV", 1), (".GRP", 0), (".INI", 0), (".CPL", 1), (".3GR", 1), (".SCR", 1)]
MODULE_EXTENSIONS = [".DLL", ".DRV", ".SYS", ".EXE", ".OCX", ".VBX"]
# The modern reading examines these as executables beside the filter list.
LOADABLE_EXTENSIONS = [".NODE", ".PYD", ".AX", ".XLL"]
SYSTEM_DIRECTORIES = ["C:\\windows\\system32", "C:\\windows\\system", "C:\\windows"]
# A 32-bit process on 64-bit Windows: what it sees as System32 without the 64-bit switch,
# and where 32-bit files' names are looked up with it.
WOW64_SYSTEM = "C:\\windows\\syswow64"
ASSEMBLY_CACHES = ["C:\\windows\\assembly\\GAC", "C:\\windows\\assembly\\GAC_32", "C:\\windows\\assembly\\GAC_MSIL",
                   "C:\\windows\\Microsoft.NET\\assembly\\GAC_32", "C:\\windows\\Microsoft.NET\\assembly\\GAC_MSIL"]


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


# The registry's trees the modern reading takes module names from: (file of the prefix,
# key in it, the name the scan gives it).
REGISTRY_TREES = [("system.reg", "Software", "HKLM\\Software"),
                  ("system.reg", "System\\CurrentControlSet", "HKLM\\System\\CurrentControlSet"),
                  ("user.reg", "Software", "HKCU\\Software"),
                  ("userdef.reg", "Software", "HKU\\.DEFAULT\\Software")]
REGISTRY_EXTENSIONS = "dll|ocx|drv|exe|sys|cpl|acm|ax|scr|ime|tsp"


def unescaped(text):
    """A quoted string of a Wine registry file, its escapes undone."""
    simple = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t", "0": "\0"}
    return re.sub(r'\\(x[0-9a-fA-F]{1,4}|.)',
                  lambda m: chr(int(m.group(1)[1:], 16)) if m.group(1)[0] == "x" and len(m.group(1)) > 1
                  else simple.get(m.group(1), m.group(1)), text)


def registry_strings(prefix, environment):
    """(value path, string) of every string value of the trees, from the prefix's own
    registry files: REG_EXPAND_SZ expanded with environment, REG_MULTI_SZ string by
    string; the interfaces under Classes left out, as the scan leaves them."""
    found = []
    for file, tree, shown in REGISTRY_TREES:
        with open(os.path.join(prefix, file), encoding="latin-1") as f:
            text = re.sub(r"\\\n\s*", "", f.read())
        key = None
        for line in text.split("\n"):
            header = re.match(r"^\[(.*)\]", line)
            if header:
                path = header.group(1).replace("\\\\", "\\")
                inside = path.lower() == tree.lower() or path.lower().startswith(tree.lower() + "\\")
                parts = [p.lower() for p in path.split("\\")]
                interfaces = any(a == "classes" and b == "interface" for a, b in zip(parts, parts[1:]))
                key = shown + path[len(tree):] if inside and not interfaces else None
                continue
            value = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(str\([27]\):)?"((?:[^"\\]|\\.)*)"$', line) if key else None
            if not value:
                continue
            name = "(Default)" if value.group(1) == "@" else unescaped(value.group(2))
            data = unescaped(value.group(4))
            if value.group(3) == "str(2):":
                data = re.sub(r"%([^%]+)%", lambda m: environment.get(m.group(1).upper(), m.group(0)),
                              data.split("\0")[0])
            strings = data.split("\0") if value.group(3) == "str(7):" else [data.split("\0")[0]]
            found += [(key + "\\" + name, string) for string in strings if string]
    return found


def registry_module_names(text):
    """The module names of one string, by the scan's rules (engine/registry_names.h)."""
    names = []
    for piece in re.split(r'[",;=@<>|*?\x00-\x1f]', text):
        start = 0
        for match in re.finditer(r"\.(" + REGISTRY_EXTENSIONS + r")(?=$|[ /)])", piece, re.I):
            stretch, start = piece[start:match.end()], match.end()
            drives = [d.start() for d in re.finditer(r"(?=[A-Za-z]:[\\/])", stretch)]
            name = stretch[drives[-1]:] if drives else stretch.rsplit(" ", 1)[-1]
            if not drives and re.search(r"[\\/]", name):
                name = re.split(r"[\\/]", name)[-1] if name.startswith("%") else ""
            stem = name[:len(name) - len(match.group(1)) - 1]
            if stem and stem[-1] not in "\\/:" and len(name) <= 259:
                names.append(name)
    return names


def search_tail(drives, path_dirs, world=0):
    """The search path after the program's and the current directory: the system
    directories, the Windows directory, then PATH, as far as the drives map them. The
    32-bit world's system directory is SysWOW64."""
    system = [WOW64_SYSTEM if world == 32 else SYSTEM_DIRECTORIES[0]] + SYSTEM_DIRECTORIES[1:]
    return [drives.to_unix(d) for d in system + [d for d in path_dirs if drives.maps(d)]]


def width_of(path):
    """32 or 64 as the scan takes a file: PE32, or PE32+ for x64 whose optional header
    holds every directory; 0 for any other file."""
    try:
        with open(path, "rb") as f:
            head = f.read(64)
            if len(head) < 64 or head[:2] != b"MZ":
                return 0
            f.seek(struct.unpack_from("<I", head, 0x3C)[0])
            header = f.read(26)
    except (OSError, struct.error):
        return 0
    if len(header) < 26 or header[:4] != b"PE\0\0":
        return 0
    (machine,), (optional_size,), (magic,) = (struct.unpack_from("<H", header, at) for at in (4, 20, 24))
    if magic == 0x10B:
        return 32
    return 64 if magic == 0x20B and machine == 0x8664 and optional_size >= 240 else 0


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


def imports_of(path, judged, directories=False, wide=False):
    """The reader's answer: None for a file it refuses (64-bit ones unless wide), else the reduced names. With
    directories (the modern reading), those of the import and delay-load directories and
    the export directory's forwarders, as pefile finds them; otherwise those of the descriptors at the start of .idata."""
    try:
        with open(path, "rb") as f:
            if f.read(2) != b"MZ":
                return None
        pe = pefile.PE(path, fast_load=True)
    except (OSError, pefile.PEFormatError):
        return None
    if pe.OPTIONAL_HEADER.Magic != 0x10B and not (wide and width_of(path) == 64):
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


# The metadata tables up to File, each a string of its columns: 2 and 4 fixed bytes, s
# g b heap indexes, "t.." a table's index (two hex digits), "c.." a coded index by name.
METADATA_TABLES = ["2sggg", "cRss", "4sscTt04t06", "t04", "2sb", "t06", "422sbt08", "t08", "22s", "t02cT",
                   "cMsb", "2cCb", "cHcAb", "cFb", "2cDb", "24t02", "4t04", "b", "t02t14", "t14", "2scT",
                   "t02t17", "t17", "2sb", "2t06cS", "t02cOcO", "s", "b", "2cWst1a", "4t04", "44", "4",
                   "42222 4bss".replace(" ", ""), "4", "444", "2222 4bssb".replace(" ", ""), "4t23", "444t23",
                   "4sb"]
CODED_INDEXES = {"T": (2, [2, 1, 27]), "C": (2, [4, 8, 23]), "F": (1, [4, 8]), "D": (2, [2, 6, 32]),
                 "M": (3, [2, 1, 26, 6, 27]), "S": (1, [20, 23]), "O": (1, [6, 10]), "W": (1, [4, 6]),
                 "A": (3, [6, 10]), "R": (2, [0, 26, 35, 1]),
                 "H": (5, [6, 4, 1, 2, 8, 9, 10, 0, 14, 23, 20, 17, 26, 27, 32, 35, 38, 39, 40, 42, 44, 43])}


def clr_names(path):
    """(assembly references as (name, culture), P/Invoke modules, File names) of a managed
    PE32 file, from its CLR header and metadata tables; None for a file without one."""
    try:
        pe = pefile.PE(path, fast_load=True)
    except (OSError, pefile.PEFormatError):
        return None
    directories = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    if pe.OPTIONAL_HEADER.Magic != 0x10B or len(directories) <= 14 or not directories[14].VirtualAddress:
        return None
    data = pe.__data__
    cor = pe.get_offset_from_rva(directories[14].VirtualAddress)
    metadata_rva, _ = struct.unpack_from("<II", data, cor + 8)
    root = pe.get_offset_from_rva(metadata_rva)
    version_length = struct.unpack_from("<I", data, root + 12)[0]
    at = root + 16 + (version_length + 3) // 4 * 4 + 4
    streams = {}
    for _ in range(struct.unpack_from("<H", data, at - 2)[0]):
        offset, size = struct.unpack_from("<II", data, at)
        name = bytes(data[at + 8:at + 40]).split(b"\0")[0].decode("latin-1")
        streams.setdefault(name, (root + offset, size))
        at += 8 + (len(name) + 4) // 4 * 4
    tables_at = (streams.get("#~") or streams["#-"])[0]
    strings_at, strings_size = streams["#Strings"]
    heap_sizes, valid = data[tables_at + 6], struct.unpack_from("<Q", data, tables_at + 8)[0]
    present = [t for t in range(64) if valid >> t & 1]
    rows = [0] * 64
    for i, table in enumerate(present):
        rows[table] = struct.unpack_from("<I", data, tables_at + 24 + 4 * i)[0]
    at = tables_at + 24 + 4 * len(present) + (4 if heap_sizes & 0x40 else 0)

    def widths(columns):
        out, i = [], 0
        while i < len(columns):
            kind = columns[i]
            if kind in "24":
                out.append(int(kind))
            elif kind in "sgb":
                out.append(4 if heap_sizes & {"s": 1, "g": 2, "b": 4}[kind] else 2)
            elif kind == "t":
                out.append(4 if rows[int(columns[i + 1:i + 3], 16)] > 0xFFFF else 2)
                i += 2
            else:
                bits, targets = CODED_INDEXES[columns[i + 1]]
                out.append(4 if max(rows[t] for t in targets) >= 1 << (16 - bits) else 2)
                i += 1
            i += 1
        return out

    where = {}
    for table, columns in enumerate(METADATA_TABLES):
        where[table] = (at, widths(columns))
        at += rows[table] * sum(where[table][1])

    def cells(table):
        start, sizes = where[table]
        for row in range(rows[table]):
            offset, values = start + row * sum(sizes), []
            for size in sizes:
                values.append(int.from_bytes(data[offset:offset + size], "little"))
                offset += size
            yield values

    def text(index):
        if not 0 < index < strings_size:
            return ""
        raw = bytes(data[strings_at + index:strings_at + min(strings_size, index + 260)])
        return raw.split(b"\0")[0].decode("latin-1") if b"\0" in raw else ""

    assemblies = [(text(r[6]), text(r[7])) for r in cells(35) if text(r[6])]
    module_names = [text(r[0]) for r in cells(26)]
    scopes = sorted({r[3] for r in cells(28) if 0 < r[3] <= len(module_names)})
    natives = [module_names[s - 1] for s in scopes if module_names[s - 1]]
    files = [text(r[1]) for r in cells(38) if text(r[1])]
    return assemblies, natives, files


def api_set_hosts(path):
    """Set name up to its last '-', upper case -> host, from a version-6 schema (the form
    Wine and Windows 10 ship); {} when there is none."""
    try:
        pe = pefile.PE(path, fast_load=True)
    except (OSError, pefile.PEFormatError):
        return {}
    sections = [s for s in pe.sections if s.Name.rstrip(b"\0") == b".apiset"]
    if not sections:
        return {}
    data = sections[0].get_data()
    version, _, _, count, entries = struct.unpack_from("<5I", data, 0)
    hosts = {}
    for i in range(count if version == 6 else 0):
        _, name, _, hashed, values, value_count = struct.unpack_from("<6I", data, entries + 24 * i)
        if value_count == 0:
            continue
        host_at, host_length = struct.unpack_from("<2I", data, values + 12)
        host = data[host_at:host_at + host_length].decode("utf-16-le")
        if host and not host.lower().startswith(("api-", "ext-")):
            hosts.setdefault(data[name:name + hashed].decode("utf-16-le").upper(), host)
    return hosts


def manifest_texts(path):
    """The RT_MANIFEST resources of a PE32 file (the first language of each name), then
    the text of path.manifest beside it."""
    texts = []
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(directories=[2])
        for kind in getattr(getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None), "entries", []):
            if kind.id != 24:
                continue
            for name in kind.directory.entries:
                data = name.directory.entries[0].data.struct
                texts.append(pe.get_data(data.OffsetToData, data.Size))
    except (OSError, pefile.PEFormatError, AttributeError, IndexError):
        pass
    try:
        with open(path + ".manifest", "rb") as f:
            texts.append(f.read())
    except OSError:
        pass
    return texts


def read_manifest(text):
    """(identity, dependencies, files, redirects) of a manifest's text, or None when it is
    not well-formed XML or declares a document type."""
    if b"<!DOCTYPE" in text or b"<\0!\0D\0O\0C\0" in text:
        return None
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError:
        return None
    local = lambda element: element.tag.rsplit("}", 1)[-1].rsplit(":", 1)[-1]
    identity, dependencies, files, redirects = {}, [], [], []
    for child in root:
        if local(child) == "assemblyIdentity":
            identity = child.attrib
        elif local(child) == "file" and "name" in child.attrib:
            files.append(child.attrib["name"])
    for element in root.iter():
        for inner in element:
            if local(element) == "dependency" and local(inner) == "dependentAssembly":
                dependencies += [e.attrib for e in inner if local(e) == "assemblyIdentity"]
            elif local(element) == "dependentAssembly" and local(inner) == "bindingRedirect":
                redirects.append((inner.attrib.get("oldVersion", ""), inner.attrib.get("newVersion", "")))
    return identity, dependencies, files, redirects


def version_in(version, span):
    parse = lambda v: tuple(int(p) for p in v.split("."))
    low, _, high = span.partition("-")
    try:
        return parse(low) <= parse(version) <= parse(high or low)
    except ValueError:
        return False


class QuickScan:
    """One quick scan of the drives from C: on, as the program running from program_dir
    would make it, reading the import directories or only .idata."""

    def __init__(self, drives, program_dir, tail, directories=False, filters=DEFAULT_FILTERS, worlds=None):
        self.drives = drives
        # With 64-bit DLLs included: the search tail of each width, 32 and 64; a file's
        # names resolve among the files of its own width.
        self.worlds = worlds
        self.directories = directories  # the modern reading
        self.filters = list(filters)
        if directories:
            self.filters += [(e, 1) for e in LOADABLE_EXTENSIONS if e not in [f for f, _ in filters]]
        self.program_dir = program_dir
        self.tail = tail
        self.listings = {}
        self.judged = {"unjudged": []}
        self.hosts = api_set_hosts(drives.to_unix("C:\\windows\\system32\\apisetschema.dll")) if directories else {}
        self.store = drives.to_unix("C:\\windows\\winsxs")
        self.context = {}  # the examined file's assemblies' files: lower-case name -> path

    def listing(self, directory):
        """Lower-case name -> real name; Wine's file system ignores case."""
        if directory not in self.listings:
            try:
                self.listings[directory] = {n.lower(): n for n in os.listdir(directory)}
            except OSError:
                self.listings[directory] = {}
        return self.listings[directory]

    def resolve(self, name, directory, world=0):
        """The file a bare module name resolves to from directory, or None."""
        extension = name[name.rindex("."):].upper() if "." in name else ""
        if extension in MODULE_EXTENSIONS:
            return name if extension == ".DLL" else None
        for position, extension in enumerate(MODULE_EXTENSIONS):
            if (name + extension).lower() in self.context:
                return self.context[(name + extension).lower()] if position == 0 else None
            found = self.search(name + extension, directory, world)
            if found:
                return found if position == 0 else None
        host = self.hosts.get(name.upper().rpartition("-")[0]) if name.lower().startswith(("api-", "ext-")) else None
        if host and host.upper().endswith(".DLL"):
            return self.search(host, directory, world)
        return None

    def search(self, file_name, directory, world=0):
        """Along the search path; a file of the other width is passed over."""
        for folder in [self.program_dir, directory] + (self.worlds[world] if world else self.tail):
            real = self.listing(folder).get(file_name.lower())
            path = os.path.join(folder, real) if real else None
            if path and os.path.isfile(path) and (not world or width_of(path) in (0, world)):
                return path
        return None

    def assembly_files(self, path):
        """The files of the assemblies path's manifests depend on: private ones in its
        folder, else those of the store at the version its publisher policy gives."""
        files = []
        for text in manifest_texts(path):
            manifest = read_manifest(text)
            for wanted in manifest[1] if manifest else []:
                files += self.private_assembly(os.path.dirname(path), wanted) or self.stored_assembly(wanted)
        return files

    def private_assembly(self, folder, wanted):
        name = wanted.get("name", "")
        for place in (folder, os.path.join(folder, name)):
            for candidate, embedded in ((name + ".manifest", False), (name + ".dll", True)):
                real = self.listing(place).get(candidate.lower())
                if not real:
                    continue
                path = os.path.join(place, real)
                if embedded:
                    texts = manifest_texts(path)[:-1] if os.path.exists(path + ".manifest") else manifest_texts(path)
                else:
                    with open(path, "rb") as f:
                        texts = [f.read()]
                for text in texts:
                    manifest = read_manifest(text)
                    if manifest and manifest[0].get("name", "").lower() == name.lower():
                        return ([path] if embedded else []) + self.listed_files(place, manifest[2])
        return None

    def listed_files(self, folder, names):
        found = []
        for name in names:
            real = self.listing(folder).get(re.split(r"[\\/]", name)[-1].lower())
            if real and os.path.isfile(os.path.join(folder, real)):
                found.append(os.path.join(folder, real))
        return found

    def stored_assembly(self, wanted):
        manifests = os.path.join(self.store, "manifests")
        arch = wanted.get("processorArchitecture", "").lower()
        arch = "x86" if arch in ("", "*") else arch
        token, language = wanted.get("publicKeyToken", "").lower(), wanted.get("language", "").lower()
        stored = []
        for real in self.listing(manifests).values():
            parts = real.lower()[: -len(".manifest")].split("_") if real.lower().endswith(".manifest") else []
            if len(parts) >= 6 and parts[0] == arch and parts[-4] == token and (
                    language in ("", "*", parts[-2]) or (language == "neutral" and parts[-2] == "none")):
                stored.append(("_".join(parts[1:-4]), parts[-3], real))
        version = wanted.get("version", "")
        major_minor = ".".join(version.split(".")[:2])
        for name, _, real in stored:
            if name == f"policy.{major_minor}.{wanted.get('name', '')}".lower():
                with open(os.path.join(manifests, real), "rb") as f:
                    manifest = read_manifest(f.read())
                for old, new in manifest[3] if manifest else []:
                    if version_in(version, old):
                        version = new
                        break
        # No such version and no policy (Wine's store has none): the highest of the same
        # major and minor version, as Wine's loader takes it.
        def parts(v):
            try:
                found = tuple(int(p) for p in v.split("."))
            except ValueError:
                return None
            return found if len(found) == 4 else None

        want = parts(version)
        same = [(parts(v), real) for name, v, real in stored
                if want and name == wanted.get("name", "").lower() and parts(v) and parts(v)[:2] == want[:2]]
        exact = [real for p, real in same if p == want]
        chosen = exact[0] if exact else max(same)[1] if same else None
        if not chosen:
            return []
        with open(os.path.join(manifests, chosen), "rb") as f:
            manifest = read_manifest(f.read())
        return self.listed_files(os.path.join(self.store, chosen[: -len(".manifest")]), manifest[2] if manifest else [])

    def real_path(self, path):
        """The Unix file a Windows path names on a mapped drive, case ignored, or None."""
        if not self.drives.maps(path) or path[2] not in "\\/":
            return None
        real = self.drives.roots[path[0].upper()]
        for part in [p for p in re.split(r"[\\/]", path[3:]) if p]:
            found = self.listing(real).get(part.lower())
            if not found:
                return None
            real = os.path.join(real, found)
        return real if os.path.isfile(real) else None

    def registry_files(self, strings):
        """Every file the registry's strings name, with the first value naming it: a path
        as it stands, a bare name along the search path from the system directory."""
        system = self.drives.to_unix(SYSTEM_DIRECTORIES[0])
        files = {}
        for value, text in strings:
            for name in registry_module_names(text):
                found = self.real_path(name) if name[1:2] == ":" else self.search(name, system)
                if found:
                    files.setdefault(found, value)
        return files

    def links_of(self, path, names, directory):
        """What the file at path links to: its names resolved, in its width's world when
        64-bit DLLs are included, and with the modern reading its assemblies' DLLs,
        which its names resolve to first, and its .NET links."""
        files = self.assembly_files(path) if self.directories else []
        self.context = {os.path.basename(f).lower(): f for f in files}
        world = width_of(path) if self.worlds else 0
        links = {r for r in (self.resolve(n, directory, world) for n in names) if r}
        links |= {f for f in files if f.upper().endswith(".DLL")}
        if self.directories:
            links |= {f for f in self.managed_links(path) | self.host_links(path) if f.upper().endswith(".DLL")}
        self.context = {}
        return links

    def file_in(self, folder, name):
        real = self.listing(folder).get(name.lower()) if name not in ("", ".", "..") else None
        return os.path.join(folder, real) if real and os.path.isfile(os.path.join(folder, real)) else None

    def subfolders(self, folder):
        return [os.path.join(folder, n) for n in self.listing(folder).values()
                if os.path.isdir(os.path.join(folder, n)) and not os.path.islink(os.path.join(folder, n))]

    def private_paths(self, folder):
        paths = []
        for real in self.listing(folder).values():
            if real.lower().endswith(".exe.config"):
                with open(os.path.join(folder, real), "rb") as f:
                    text = f.read(1 << 20).decode("latin-1")
                for value in re.findall(r"privatePath\s*=\s*[\"']([^\"']*)", text):
                    paths += [p.strip().replace("\\", "/").rstrip("/ ") for p in value.split(";")]
        return [p for p in paths if p and ":" not in p and not p.startswith("/") and ".." not in p]

    def managed_links(self, path):
        """The files a managed file's assembly references, P/Invoke modules and File table
        link to: probed from its folder, every version in the assembly caches."""
        read = clr_names(path)
        if not read:
            return set()
        assemblies, natives, files = read
        folder, links = os.path.dirname(path), set()
        for name, culture in assemblies:
            if re.search(r"[\\/:]", name) or name in (".", ".."):
                continue
            places = [folder, os.path.join(folder, name)]
            if culture and culture.lower() != "neutral" and not re.search(r"[\\/:]", culture):
                places += [os.path.join(folder, culture), os.path.join(folder, culture, name)]
            for private in self.private_paths(folder):
                places += [os.path.join(folder, private), os.path.join(folder, private, name)]
            for cache in ASSEMBLY_CACHES:
                places += self.subfolders(os.path.join(self.drives.to_unix(cache), name))
            links |= {f for p in places for f in (self.file_in(p, name + ".dll"), self.file_in(p, name + ".exe")) if f}
        for module in natives:
            module = re.split(r"[\\/]", module)[-1]
            found = self.resolve(module[:-4] if module.lower().endswith(".dll") else module, folder)
            links |= {found} if found and found != module else set()
        return links | {f for f in (self.file_in(folder, n) for n in files) if f}

    def host_links(self, path):
        """dotnet.exe or an application host to hostfxr.dll, hostfxr.dll to hostpolicy.dll."""
        folder, name = os.path.split(path)
        resolvers = lambda root: {f for v in self.subfolders(os.path.join(root, "host", "fxr"))
                                  for f in [self.file_in(v, "hostfxr.dll")] if f}
        if name.lower() == "dotnet.exe":
            return resolvers(folder)
        if name.lower() == "hostfxr.dll":
            links = {self.file_in(folder, "hostpolicy.dll")}
            if os.path.dirname(folder).lower().endswith("/host/fxr"):
                shared = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(folder))), "shared")
                links |= {self.file_in(v, "hostpolicy.dll") for fw in self.subfolders(shared) for v in self.subfolders(fw)}
            return links - {None}
        if name.lower().endswith(".exe") and self.file_in(folder, name[:-4] + ".runtimeconfig.json"):
            return ({self.file_in(folder, "hostfxr.dll")} - {None}) | resolvers(
                self.drives.to_unix("C:\\Program Files\\dotnet"))
        return set()

    def dependency_assets(self, folder):
        """The DLLs that the folder's *.deps.json files name as runtime or native assets."""
        links = set()
        for real in self.listing(folder).values():
            if not real.lower().endswith(".deps.json"):
                continue
            try:
                with open(os.path.join(folder, real), "rb") as f:
                    deps = json.loads(f.read().decode("utf-8-sig"))
                assets = [asset for libraries in deps["targets"].values() for library in libraries.values()
                          for kind in ("runtime", "native") for asset in library.get(kind, {})]
            except (OSError, ValueError, KeyError, AttributeError, TypeError, RecursionError):
                continue
            for asset in assets:
                parts = asset.replace("\\", "/").split("/")
                places = [(folder, parts[-1])] + ([(os.path.join(folder, *parts[:-1]), parts[-1])] if len(parts) > 1 else [])
                links |= {f for f in (self.file_in(p, n) for p, n in places) if f and f.upper().endswith(".DLL")}
        return links

    def walk(self):
        """Drive phase: every DLL found, the valid links, and each DLL's own references."""
        listed, valid, refs = set(), set(), {}
        for letter in sorted(l for l in self.drives.roots if l >= "C"):
            for root, dirs, files in os.walk(self.drives.roots[letter]):
                dirs[:] = sorted(d for d in dirs if not os.path.islink(os.path.join(root, d)))
                if len(self.drives.to_windows(root)) > 259:
                    continue
                if self.directories:
                    valid |= self.dependency_assets(root)
                for extension, kind in self.filters:
                    kind = 2 if extension == ".DLL" else kind
                    for name in files:
                        path = os.path.join(root, name)
                        if kind == 0 or not matches(name, extension) or len(self.drives.to_windows(path)) > 259:
                            continue
                        names = imports_of(path, self.judged, self.directories, bool(self.worlds))
                        if names is None:
                            continue
                        if kind == 2:
                            listed.add(path)
                            refs[path] = self.links_of(path, names, root)
                        else:
                            valid |= self.links_of(path, names, root)
        return listed, valid, refs

    def cross_check(self, valid, refs):
        """Every DLL worked off: the valid links, then the pending links they reach."""
        pending = set().union(*refs.values()) if refs else set()
        worked, queue = set(valid), list(valid)
        while queue:
            dll = queue.pop()
            if dll not in refs and os.path.isfile(dll):
                names = imports_of(dll, self.judged, self.directories, bool(self.worlds))
                refs[dll] = self.links_of(dll, names, os.path.dirname(dll)) if names is not None else set()
            for target in refs.get(dll, ()):
                if target in pending and target not in worked:
                    worked.add(target)
                    queue.append(target)
        return worked

    def run(self, shared_names, registry=()):
        """The Unix paths of the DLLs the scan lists. With the modern reading, the files
        the registry's strings name are valid links (registry: registry_strings)."""
        listed, valid, refs = self.walk()
        self.registry_named = self.registry_files(registry)
        if self.directories:
            valid |= set(self.registry_named)
        worked = self.cross_check(valid, refs)
        # The scan compares paths without regard to case; so does the register's pass.
        shared = {self.drives.to_unix(n).lower() for n in shared_names if n[1:3] == ":\\" and self.drives.maps(n)}
        return {p for p in listed if p not in worked and p.lower() not in shared}
