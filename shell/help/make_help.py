#!/usr/bin/python3
"""Writes ORVENNA.HLP, an uncompressed WinHelp 3.1 file, from the help source.

Usage: make_help.py SOURCE OUTPUT

No help compiler exists for the build machine, so this is one, for the small part
of the format the manual needs: topics with a title, context strings and context
numbers, keywords, paragraphs in four styles (title, heading, body, bullet), bold
runs and jumps between topics. The source's markup is described at the top of
orvenna_help.txt.

The file is the layout that WinHelp 3.1 viewers read (Wine's winhlp32 included):
a 16-byte header, internal files each behind a 9-byte file header, and a directory
of them kept as a B+ tree. Numbers are little-endian throughout.
"""

import os
import re
import struct
import sys
from dataclasses import dataclass, field

HELP_MAGIC = 0x00035F3F
BTREE_MAGIC = 0x293B
SYSTEM_MAGIC = 0x036C
SYSTEM_MINOR_HC31 = 21
FILE_FLAGS = 4
WINDOW_RECORD_SIZE = 90
WINDOW_TYPE_VALID, WINDOW_NAME_VALID, WINDOW_CAPTION_VALID = 0x0001, 0x0002, 0x0004
BTREE_FLAGS = 0x0002
DIRECTORY_FLAGS = 0x0402
DIRECTORY_PAGE_SIZE = 1024
PAGE_SIZE = 2048

# |TOPIC is cut into 4 KB blocks, each led by a 12-byte block header. A topic
# position counts 0x4000 per block plus the byte's place in the block, header
# included; a topic offset (what |CONTEXT, |CTXOMAP and |KWDATA hold) counts
# 0x8000 per block plus the characters of the paragraphs that began earlier in it.
TOPIC_BLOCK_SIZE = 4096
TOPIC_BLOCK_HEADER = 12
TOPIC_BLOCK_DATA = TOPIC_BLOCK_SIZE - TOPIC_BLOCK_HEADER
TOPIC_LINK_HEADER = 21
TOPIC_HEADER_SIZE = 28
RECORD_TOPIC_HEADER = 0x02
RECORD_TEXT = 0x20
NONE = 0xFFFFFFFF

# Paragraph and character codes of a text record's format list.
CODE_FONT = 0x80
CODE_PARAGRAPH_END = 0x82
CODE_TAB = 0x83
CODE_LINK_END = 0x89
CODE_JUMP = 0xE3
CODE_FORMAT_END = 0xFF
PARAGRAPH_SPACE_BEFORE = 0x0002
PARAGRAPH_SPACE_AFTER = 0x0004
PARAGRAPH_LEFT_INDENT = 0x0010
PARAGRAPH_FIRST_INDENT = 0x0040
PARAGRAPH_TABS = 0x0200

# Fonts: one face, four looks. Sizes are in half points.
FACE_NAME_SIZE = 20
FACES = ["Arial"]
FAMILY_SWISS = 3
WHITE = (255, 255, 255)
FONT_BODY, FONT_BOLD, FONT_TITLE, FONT_HEADING = 0, 1, 2, 3
FONTS = [  # (attributes: 1 bold, half points, face, colour)
    (0, 20, 0, (0, 0, 0)),
    (1, 20, 0, (0, 0, 0)),
    (1, 28, 0, (0, 0, 128)),
    (1, 22, 0, (0, 0, 128)),
]

# Paragraph styles: (font, space before, space after, left indent, first-line indent).
# A bullet hangs in the first-line indent; a tab stop at the left indent takes the
# text there, since viewers do not treat a hanging indent as a tab stop.
STYLES = {
    "title": (FONT_TITLE, 0, 12, 0, 0),
    "heading": (FONT_HEADING, 12, 0, 0, 0),
    "body": (FONT_BODY, 6, 0, 0, 0),
    "bullet": (FONT_BODY, 4, 0, 36, -26),
}
BULLET = "\u2022"  # 0x95 in code page 1252

CONTEXT_NAME = re.compile(r"[A-Za-z0-9_.]+$")
INLINE = re.compile(r"\*\*(?P<bold>.+?)\*\*|\[\[(?P<target>[A-Za-z0-9_.]+)(?:\|(?P<label>.+?))?\]\]")


class SourceError(Exception):
    pass


@dataclass
class Paragraph:
    style: str
    text: str
    line: int


@dataclass
class Topic:
    title: str
    line: int
    name: str = ""
    numbers: list = field(default_factory=list)
    keywords: list = field(default_factory=list)
    paragraphs: list = field(default_factory=list)


@dataclass
class HelpSource:
    title: str = ""
    copyright: str = ""
    topics: list = field(default_factory=list)


# ---- Reading the source ---------------------------------------------------------


def ReadSource(text):
    source = HelpSource()
    topic = None
    block = []

    def flush():
        if block:
            AddBlock(topic, block)
            block.clear()

    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip()
        if line.startswith("#") and not line.startswith("##"):
            continue
        if line.startswith("= "):
            flush()
            topic = Topic(title=line[2:].strip(), line=number)
            source.topics.append(topic)
        elif line.startswith("@") and not block:
            ReadAttribute(source, topic, line, number)
        elif not line:
            flush()
        elif topic is None:
            raise SourceError(f"line {number}: text before the first topic")
        else:
            block.append((number, line))
    flush()
    CheckSource(source)
    return source


def ReadAttribute(source, topic, line, number):
    name, _, value = line[1:].partition(" ")
    value = value.strip()
    if topic is None and name in ("title", "copyright"):
        setattr(source, name, value)
    elif topic is not None and name == "name":
        topic.name = value
    elif topic is not None and name == "context":
        try:
            topic.numbers += [int(n) for n in value.split()]
        except ValueError:
            raise SourceError(f"line {number}: context numbers are decimal numbers")
    elif topic is not None and name == "keywords":
        topic.keywords += [k.strip() for k in value.split(";") if k.strip()]
    else:
        raise SourceError(f"line {number}: unknown attribute @{name}")


# A block of lines is one paragraph, a heading, or a list whose items begin with
# "- " and continue on indented lines.
def AddBlock(topic, block):
    first_number, first = block[0]
    if first.startswith("## "):
        if len(block) > 1:
            raise SourceError(f"line {first_number}: a heading is one line")
        topic.paragraphs.append(Paragraph("heading", first[3:].strip(), first_number))
        return
    if first.startswith("- "):
        for number, line in block:
            if line.startswith("- "):
                topic.paragraphs.append(Paragraph("bullet", line[2:].strip(), number))
            elif line.startswith(" "):
                topic.paragraphs[-1].text += " " + line.strip()
            else:
                raise SourceError(f"line {number}: list items begin with '- '")
        return
    text = " ".join(line.strip() for _, line in block)
    topic.paragraphs.append(Paragraph("body", text, first_number))


def CheckSource(source):
    if not source.title:
        raise SourceError("the help file has no @title")
    if not source.topics:
        raise SourceError("the help file has no topics")
    names, numbers, keywords, hashes = {}, {}, {}, {}
    for topic in source.topics:
        where = f"line {topic.line}"
        if not CONTEXT_NAME.match(topic.name):
            raise SourceError(
                f"{where}: topic '{topic.title}' needs an @name of letters, digits, '.' and '_'"
            )
        CheckUnique(names, topic.name.upper(), where, f"topic name {topic.name}")
        CheckUnique(hashes, HashContext(topic.name), where, f"hash of {topic.name}")
        for number in topic.numbers:
            if not 0 < number < 2**31:
                raise SourceError(f"{where}: context number {number} out of range")
            CheckUnique(numbers, number, where, f"context number {number}")
        # Wine's viewer refuses a keyword that names several topics, so each names one.
        for keyword in topic.keywords:
            CheckUnique(keywords, keyword.upper(), where, f"keyword '{keyword}'")
    for topic in source.topics:
        for paragraph in topic.paragraphs:
            for match in INLINE.finditer(paragraph.text):
                target = match.group("target")
                if target and target.upper() not in names:
                    raise SourceError(f"line {paragraph.line}: jump to unknown topic {target}")


def CheckUnique(seen, key, where, what):
    if key in seen:
        raise SourceError(f"{where}: {what} already used at {seen[key]}")
    seen[key] = where


# ---- Encoding -------------------------------------------------------------------


def Encode(text, line=0):
    try:
        return text.encode("cp1252")
    except UnicodeEncodeError as error:
        raise SourceError(f"line {line}: '{error.object[error.start]}' has no code page 1252 form")


# WinHelp's hash of a context string: letters without case, digits, '.' and '_'
# count; the result is a signed 32-bit number.
def HashContext(name):
    value = 0
    for char in name.upper():
        if "A" <= char <= "Z":
            digit = ord(char) - ord("A") + 17
        elif "1" <= char <= "9":
            digit = ord(char) - ord("0")
        elif char == "0":
            digit = 10
        elif char == ".":
            digit = 12
        elif char == "_":
            digit = 13
        else:
            continue
        value = (value * 43 + digit) & 0xFFFFFFFF
    return value - 2**32 if value >= 2**31 else value


def U8(value):
    return struct.pack("<B", value)


def U16(value):
    return struct.pack("<H", value & 0xFFFF)


def U32(value):
    return struct.pack("<I", value & 0xFFFFFFFF)


# The compressed numbers of a text record: the low bit of the first byte says
# whether the short or the long form follows; signed forms are biased.
def CompressedLong(value):
    if -0x4000 <= value < 0x4000:
        return U16(value * 2 + 0x8000)
    return U32(value * 2 + 0x80000001)


def CompressedUShort(value):
    if value < 0x80:
        return U8(value * 2)
    return U16(value * 2 + 1)


def CompressedShort(value):
    if -0x40 <= value < 0x40:
        return U8(value * 2 + 0x80)
    return U16(value * 2 + 0x8001)


def WithFileHeader(content):
    return U32(len(content) + 9) + U32(len(content)) + U8(FILE_FLAGS) + content


# ---- Text records ---------------------------------------------------------------


class FormatList:
    """A paragraph's two streams: text strings and the codes between them. Every
    code closes the string before it; the viewer shows a string, then applies the
    code that follows it."""

    def __init__(self):
        self.strings = [b""]
        self.codes = bytearray()
        self.characters = 0

    def AddText(self, text):
        self.strings[-1] += text
        self.characters += len(text)

    def AddCode(self, code, operand=b"", counts_as_character=False):
        self.codes += U8(code) + operand
        self.strings.append(b"")
        self.characters += 1 if counts_as_character else 0

    def Finish(self):
        self.AddCode(CODE_PARAGRAPH_END, counts_as_character=True)
        self.strings.pop()
        self.codes += U8(CODE_FORMAT_END)
        return b"".join(s + b"\0" for s in self.strings)


def BuildParagraph(paragraph, hashes):
    font, before, after, indent, first_indent = STYLES[paragraph.style]
    formats = FormatList()
    formats.AddCode(CODE_FONT, U16(font))
    if paragraph.style == "bullet":
        formats.AddText(Encode(BULLET))
        formats.AddCode(CODE_TAB, counts_as_character=True)
    AddInlineText(formats, paragraph, font, hashes)
    text = formats.Finish()

    bits, fields = 0, b""
    for bit, value in (
        (PARAGRAPH_SPACE_BEFORE, before),
        (PARAGRAPH_SPACE_AFTER, after),
        (PARAGRAPH_LEFT_INDENT, indent),
        (PARAGRAPH_FIRST_INDENT, first_indent),
    ):
        if value:
            bits |= bit
            fields += CompressedShort(value)
    if paragraph.style == "bullet":
        bits |= PARAGRAPH_TABS
        fields += CompressedShort(1) + CompressedUShort(indent)
    # The four bytes before the bits are an unused byte, a biased zero and an id.
    link_data1 = (
        CompressedLong(len(text))
        + CompressedUShort(formats.characters)
        + bytes([0x00, 0x80, 0x00, 0x00])
        + U16(bits)
        + fields
        + bytes(formats.codes)
    )
    return link_data1, text, formats.characters


def AddInlineText(formats, paragraph, font, hashes):
    text, at = paragraph.text, 0
    for match in INLINE.finditer(text):
        formats.AddText(Encode(text[at : match.start()], paragraph.line))
        if match.group("bold") is not None:
            formats.AddCode(CODE_FONT, U16(FONT_BOLD))
            formats.AddText(Encode(match.group("bold"), paragraph.line))
            formats.AddCode(CODE_FONT, U16(font))
        else:
            target = match.group("target").upper()
            label = match.group("label") or hashes[target][1]
            formats.AddCode(CODE_JUMP, U32(hashes[target][0]))
            formats.AddText(Encode(label, paragraph.line))
            formats.AddCode(CODE_LINK_END)
        at = match.end()
    formats.AddText(Encode(text[at:], paragraph.line))


# ---- |TOPIC ---------------------------------------------------------------------


@dataclass
class Record:
    kind: int
    topic: int
    link_data1: bytes
    link_data2: bytes
    characters: int = 0
    position: int = 0
    ref: int = 0

    def Size(self):
        return TOPIC_LINK_HEADER + len(self.link_data1) + len(self.link_data2)


def TopicPosition(position):
    block, place = divmod(position, TOPIC_BLOCK_DATA)
    return block * 0x4000 + TOPIC_BLOCK_HEADER + place


def BuildRecords(source):
    hashes = {t.name.upper(): (HashContext(t.name), t.title) for t in source.topics}
    records = []
    for index, topic in enumerate(source.topics):
        records.append(Record(RECORD_TOPIC_HEADER, index, bytes(TOPIC_HEADER_SIZE), Encode(topic.title)))
        heading = Paragraph("title", topic.title, topic.line)
        for paragraph in [heading] + topic.paragraphs:
            link_data1, text, characters = BuildParagraph(paragraph, hashes)
            records.append(Record(RECORD_TEXT, index, link_data1, text, characters))
    return records


# Places the records one after the other in the blocks' data (a record may run on
# into the next block) and gives every topic its offset.
def PlaceRecords(records, topic_count):
    position = 0
    for record in records:
        record.position = position
        record.ref = TopicPosition(position)
        position += record.Size()
    offsets = [0] * topic_count
    block, characters = -1, 0
    for record in records:
        if record.position // TOPIC_BLOCK_DATA != block:
            block, characters = record.position // TOPIC_BLOCK_DATA, 0
        if record.kind == RECORD_TOPIC_HEADER:
            offsets[record.topic] = block * 0x8000 + characters
        else:
            characters += record.characters
    return offsets


def FillTopicHeaders(records, offsets):
    headers = [r for r in records if r.kind == RECORD_TOPIC_HEADER]
    for index, header in enumerate(headers):
        own = [r for r in records if r.topic == index]
        text = [r for r in own if r.kind == RECORD_TEXT]
        header.link_data1 = (
            U32(sum(r.Size() for r in own))
            + U32(offsets[index - 1] if index > 0 else NONE)
            + U32(offsets[index + 1] if index + 1 < len(headers) else NONE)
            + U32(index)
            + U32(NONE)
            + U32(text[0].ref if text else NONE)
            + U32(headers[index + 1].ref if index + 1 < len(headers) else NONE)
        )


def SerializeRecords(records):
    stream = bytearray()
    for index, record in enumerate(records):
        previous = records[index - 1].ref if index > 0 else NONE
        following = records[index + 1].ref if index + 1 < len(records) else NONE
        stream += (
            U32(record.Size())
            + U32(len(record.link_data2))
            + U32(previous)
            + U32(following)
            + U32(TOPIC_LINK_HEADER + len(record.link_data1))
            + U8(record.kind)
            + record.link_data1
            + record.link_data2
        )
    return bytes(stream)


# Every block is written whole: readers copy full blocks. Its header names the last
# record begun before it, the first begun in it and the topic it opens inside.
def CutTopicBlocks(stream, records):
    blocks = bytearray()
    count = max(1, -(-len(stream) // TOPIC_BLOCK_DATA))
    for block in range(count):
        start, end = block * TOPIC_BLOCK_DATA, (block + 1) * TOPIC_BLOCK_DATA
        before = [r for r in records if r.position < start]
        inside = [r for r in records if start <= r.position < end]
        headers_before = [r for r in before if r.kind == RECORD_TOPIC_HEADER]
        blocks += U32(before[-1].ref if before else NONE)
        blocks += U32(inside[0].ref if inside else NONE)
        blocks += U32(headers_before[-1].ref if headers_before else NONE)
        blocks += stream[start:end].ljust(TOPIC_BLOCK_DATA, b"\0")
    return bytes(blocks)


# ---- B+ trees -------------------------------------------------------------------


def BuildBTree(entries, page_size, structure, flags=BTREE_FLAGS):
    """entries: sorted (leaf entry, index key) pairs. Leaves hold the entries and are
    chained; each index page holds its first child in its header and then, for every
    further child, that child's first key and page number."""
    leaves = PackPages([e for e, _ in entries], page_size - 8)
    pages = []
    for number, leaf in enumerate(leaves):
        previous = number - 1 if number > 0 else 0xFFFF
        following = number + 1 if number + 1 < len(leaves) else 0xFFFF
        body = b"".join(entries[i][0] for i in leaf)
        header = U16(page_size - 8 - len(body)) + U16(len(leaf)) + U16(previous) + U16(following)
        pages.append(header + body)
    level = [(entries[leaf[0]][1] if leaf else b"", number) for number, leaf in enumerate(leaves)]
    levels = 1
    while len(level) > 1:
        next_level = []
        start = 0
        for group in PackChildren(level, page_size - 6):
            children = level[start : start + group]
            start += group
            body = b"".join(key + U16(page) for key, page in children[1:])
            header = U16(page_size - 6 - len(body)) + U16(len(children) - 1) + U16(children[0][1])
            next_level.append((children[0][0], len(pages)))
            pages.append(header + body)
        level = next_level
        levels += 1
    header = (
        U16(BTREE_MAGIC)
        + U16(flags)
        + U16(page_size)
        + structure.ljust(16, b"\0")
        + U16(0)
        + U16(len(pages) - 1)
        + U16(level[0][1])
        + U16(0xFFFF)
        + U16(len(pages))
        + U16(levels)
        + U32(len(entries))
    )
    return header + b"".join(p.ljust(page_size, b"\0") for p in pages)


def PackPages(items, capacity):
    pages, used = [[]], 0
    for index, item in enumerate(items):
        if len(item) > capacity:
            raise SourceError("an entry does not fit a B+ tree page")
        if used + len(item) > capacity:
            pages.append([])
            used = 0
        pages[-1].append(index)
        used += len(item)
    return pages


# How many children each index page takes: the first child costs nothing (it sits
# in the page header), every further one its key and page number.
def PackChildren(level, capacity):
    groups, count, used = [], 0, 0
    for key, _ in level:
        cost = 0 if count == 0 else len(key) + 2
        if count and used + cost > capacity:
            groups.append(count)
            count, used, cost = 0, 0, 0
        count += 1
        used += cost
    groups.append(count)
    return groups


# ---- The internal files ---------------------------------------------------------


# The main window's definition gives the viewer's window the help file's title as
# its caption, whichever way the viewer was started.
def BuildMainWindow(caption):
    fields = WINDOW_TYPE_VALID | WINDOW_NAME_VALID | WINDOW_CAPTION_VALID
    definition = (
        U16(fields)
        + b"primary".ljust(10, b"\0")
        + b"main".ljust(9, b"\0")
        + Encode(caption)[:50].ljust(51, b"\0")
    )
    return definition.ljust(WINDOW_RECORD_SIZE, b"\0")


def BuildSystem(source, contents_offset, date):
    records = [
        (1, Encode(source.title) + b"\0"),
        (2, Encode(source.copyright) + b"\0"),
        (3, U32(contents_offset)),
        (4, b"BrowseButtons()\0"),
        (6, BuildMainWindow(source.title)),
    ]
    header = U16(SYSTEM_MAGIC) + U16(SYSTEM_MINOR_HC31) + U16(1) + U32(date) + U16(0)
    return header + b"".join(U16(kind) + U16(len(data)) + data for kind, data in records)


def BuildFont():
    faces = b"".join(Encode(face).ljust(FACE_NAME_SIZE, b"\0") for face in FACES)
    descriptors = b"".join(
        U8(attributes) + U8(half_points) + U8(FAMILY_SWISS) + U16(face) + bytes(colour) + bytes(WHITE)
        for attributes, half_points, face, colour in FONTS
    )
    header = U16(len(FACES)) + U16(len(FONTS)) + U16(8) + U16(8 + len(faces))
    return header + faces + descriptors


def BuildContext(source, offsets):
    pairs = sorted((HashContext(t.name), offsets[i]) for i, t in enumerate(source.topics))
    entries = [(struct.pack("<i", h) + U32(o), struct.pack("<i", h)) for h, o in pairs]
    return BuildBTree(entries, PAGE_SIZE, b"L4")


def BuildContextMap(source, offsets):
    pairs = sorted((n, offsets[i]) for i, t in enumerate(source.topics) for n in t.numbers)
    return U16(len(pairs)) + b"".join(U32(n) + U32(o) for n, o in pairs)


def BuildTitles(source, offsets):
    pairs = sorted((offsets[i], Encode(t.title)) for i, t in enumerate(source.topics))
    return BuildBTree([(U32(o) + title + b"\0", U32(o)) for o, title in pairs], PAGE_SIZE, b"Lz")


# Keywords sort without regard to case, as the index shows them.
def BuildKeywords(source, offsets):
    pairs = sorted(
        ((Encode(k, t.line), offsets[i]) for i, t in enumerate(source.topics) for k in t.keywords),
        key=lambda pair: (pair[0].upper(), pair[0]),
    )
    entries = [(k + b"\0" + U16(1) + U32(4 * n), k + b"\0") for n, (k, _) in enumerate(pairs)]
    tree = BuildBTree(entries, PAGE_SIZE, b"F24")
    data = b"".join(U32(o) for _, o in pairs)
    leaves = PackPages([e for e, _ in entries], PAGE_SIZE - 8)
    first_of_leaves = [U32(leaf[0] if leaf else 0) + U16(n) for n, leaf in enumerate(leaves)]
    keyword_map = U16(len(leaves)) + b"".join(first_of_leaves)
    return tree, data, keyword_map


def BuildHelpFile(source, date):
    records = BuildRecords(source)
    offsets = PlaceRecords(records, len(source.topics))
    FillTopicHeaders(records, offsets)
    topic = CutTopicBlocks(SerializeRecords(records), records)
    keywords, keyword_data, keyword_map = BuildKeywords(source, offsets)
    files = {
        "|CONTEXT": BuildContext(source, offsets),
        "|CTXOMAP": BuildContextMap(source, offsets),
        "|FONT": BuildFont(),
        "|KWBTREE": keywords,
        "|KWDATA": keyword_data,
        "|KWMAP": keyword_map,
        "|SYSTEM": BuildSystem(source, offsets[0], date),
        "|TOPIC": topic,
        "|TTLBTREE": BuildTitles(source, offsets),
    }
    return AssembleFile(files)


# The internal files follow the header; the directory, a B+ tree of names (sorted
# byte-wise) and file offsets, comes last.
def AssembleFile(files):
    body, places = bytearray(), {}
    for name, content in files.items():
        places[name] = 16 + len(body)
        body += WithFileHeader(content)
    names = sorted(places, key=lambda name: name.encode("ascii"))
    entries = [(n.encode("ascii") + b"\0" + U32(places[n]), n.encode("ascii") + b"\0") for n in names]
    directory = WithFileHeader(BuildBTree(entries, DIRECTORY_PAGE_SIZE, b"z4", DIRECTORY_FLAGS))
    directory_start = 16 + len(body)
    size = directory_start + len(directory)
    return U32(HELP_MAGIC) + U32(directory_start) + U32(NONE) + U32(size) + bytes(body) + directory


def WriteHelpFile(source_path, output_path):
    with open(source_path, encoding="utf-8") as handle:
        source = ReadSource(handle.read())
    # The source's date, not the build's, so that the same source gives the same
    # file; SOURCE_DATE_EPOCH overrides it.
    date = int(os.environ.get("SOURCE_DATE_EPOCH", os.stat(source_path).st_mtime))
    data = BuildHelpFile(source, date)
    temporary = output_path + ".tmp"
    with open(temporary, "wb") as handle:
        handle.write(data)
    os.replace(temporary, output_path)


def main(argv):
    if len(argv) != 3:
        print("usage: make_help.py SOURCE OUTPUT", file=sys.stderr)
        return 2
    try:
        WriteHelpFile(argv[1], argv[2])
    except SourceError as error:
        print(f"{argv[1]}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
